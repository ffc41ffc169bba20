#include "search/Fts5Functions.h"

#include "common/Exception.h"

#include <sqlite3.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

void BestPlace(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* result, int argc, sqlite3_value** argv)
{
    if (argc == 2) {
        auto* cutoff = static_cast<TRankCutoff*>(sqlite3_value_pointer(argv[1], kRankCutoffType));
        if (cutoff != nullptr && !cutoff->Admit(sqlite3_value_double(argv[0]))) {
            sqlite3_result_null(result);
            return;
        }
    }
    int count = 0;
    if (api->xInstCount(fts, &count) != SQLITE_OK) {
        sqlite3_result_int(result, 0);
        return;
    }
    std::vector<std::pair<int, int>> places; // token offset, phrase
    for (int i = 0; i < count; ++i) {
        int phrase = 0;
        int column = 0;
        int offset = 0;
        if (api->xInst(fts, i, &phrase, &column, &offset) == SQLITE_OK && column == kBodyColumn)
            places.emplace_back(offset, phrase);
    }
    std::sort(places.begin(), places.end());
    const int phrases = api->xPhraseCount(fts);
    std::vector<int> lastSeen(static_cast<std::size_t>(std::max(phrases, 1)), -1);
    int best = 0;
    int bestStart = 0;
    for (std::size_t i = 0; i < places.size(); ++i) {
        // Distinct phrases within the place ending here.
        int distinct = 0;
        int start = places[i].first;
        for (std::size_t j = i + 1; j-- > 0 && places[j].first + kPlaceTokens > places[i].first;) {
            auto& seen = lastSeen[static_cast<std::size_t>(places[j].second)];
            if (seen != static_cast<int>(i)) {
                seen = static_cast<int>(i);
                ++distinct;
            }
            start = places[j].first;
        }
        if (distinct > best) {
            best = distinct;
            bestStart = start;
            if (best == phrases)
                break;
        }
    }
    sqlite3_result_int(result, bestStart);
}

} // namespace

bool TRankCutoff::Admit(double rank)
{
    if (wanted_ == 0)
        return false;
    if (lowest_.size() == wanted_) {
        // Equal ranks are admitted: the order among them is settled after the pass.
        if (rank > lowest_.top())
            return false;
        lowest_.pop();
    }
    lowest_.push(rank);
    return true;
}

fts5_api* Fts5Of(sqlite3* db)
{
    fts5_api* api = nullptr;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &statement, nullptr) == SQLITE_OK) {
        sqlite3_bind_pointer(statement, 1, static_cast<void*>(&api), "fts5_api_ptr", nullptr);
        sqlite3_step(statement);
    }
    sqlite3_finalize(statement);
    return api;
}

void RegisterBestPlace(sqlite3* db)
{
    fts5_api* api = Fts5Of(db);
    if (api == nullptr || api->xCreateFunction(api, "best_place", nullptr, BestPlace, nullptr) != SQLITE_OK)
        throw Exception("Search index: SQLite has no FTS5");
}
