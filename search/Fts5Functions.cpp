#include "search/Fts5Functions.h"

#include "common/Exception.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <memory>
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

// Which of the query's terms the row holds in its title, and whether it holds the last term's
// first phrase. Phrases past the last term's first are the other words that term can become.
struct TermsSeen {
    int missingFromTitle = 0;
    int missingFromHeadings = 0;
    bool lastFirstPhrase = false;
};

TermsSeen SeenIn(const Fts5ExtensionApi* api, Fts5Context* fts, int terms)
{
    TermsSeen seen { terms, terms, false };
    int count = 0;
    if (terms <= 0 || api->xInstCount(fts, &count) != SQLITE_OK)
        return seen;
    std::vector<bool> inTitle(static_cast<std::size_t>(terms));
    std::vector<bool> inHeadings(static_cast<std::size_t>(terms));
    for (int i = 0; i < count; ++i) {
        int phrase = 0;
        int column = 0;
        int offset = 0;
        if (api->xInst(fts, i, &phrase, &column, &offset) != SQLITE_OK)
            continue;
        auto term = static_cast<std::size_t>(std::min(phrase, terms - 1));
        if (column == kTitleColumn && !inTitle[term]) {
            inTitle[term] = true;
            --seen.missingFromTitle;
        }
        if (column == kHeadingsColumn && !inHeadings[term]) {
            inHeadings[term] = true;
            --seen.missingFromHeadings;
        }
        seen.lastFirstPhrase = seen.lastFirstPhrase || phrase == terms - 1;
    }
    return seen;
}

// title_missing(table, terms)
void TitleMissing(
    const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* result, int argc, sqlite3_value** argv)
{
    sqlite3_result_int(result, SeenIn(api, fts, argc >= 1 ? sqlite3_value_int(argv[0]) : 0).missingFromTitle);
}

// Rows that hold each phrase of the query, counted once per query.
struct PhraseRows {
    std::vector<double> idf; // each phrase's inverse document frequency
    std::vector<double> averageLength; // tokens of each column, on average over the rows
};

int CountRow(const Fts5ExtensionApi*, Fts5Context*, void* rows)
{
    ++*static_cast<int64_t*>(rows);
    return SQLITE_OK;
}

PhraseRows* PhraseRowsOf(const Fts5ExtensionApi* api, Fts5Context* fts)
{
    if (auto* known = static_cast<PhraseRows*>(api->xGetAuxdata(fts, 0)))
        return known;
    auto rows = std::make_unique<PhraseRows>();
    sqlite3_int64 total = 0;
    if (api->xRowCount(fts, &total) != SQLITE_OK || total <= 0)
        return nullptr;
    const int columns = api->xColumnCount(fts);
    for (int column = 0; column < columns; ++column) {
        sqlite3_int64 tokens = 0;
        api->xColumnTotalSize(fts, column, &tokens);
        rows->averageLength.push_back(std::max(1.0, static_cast<double>(tokens) / static_cast<double>(total)));
    }
    for (int phrase = 0; phrase < api->xPhraseCount(fts); ++phrase) {
        int64_t holding = 0;
        if (api->xQueryPhrase(fts, phrase, &holding, CountRow) != SQLITE_OK)
            return nullptr;
        const double idf
            = std::log((static_cast<double>(total - holding) + 0.5) / (static_cast<double>(holding) + 0.5));
        rows->idf.push_back(std::max(idf, 1e-6));
    }
    PhraseRows* kept = rows.get();
    if (api->xSetAuxdata(fts, rows.release(), [](void* p) { delete static_cast<PhraseRows*>(p); }) != SQLITE_OK)
        return nullptr;
    return kept;
}

// book_rank(table): BM25F, lower is better. Each column's matches are weighed and normalised by
// that column's own length, so a short title that is the query weighs more than a long one that
// mentions it, and a long page is not buried under short ones for its length alone.
void BookRank(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* result, int, sqlite3_value**)
{
    constexpr double kSaturation = 1.2; // BM25's k1
    constexpr double kWeight[] = { 6.0, 3.0, 1.0 }; // title, headings, body
    constexpr double kLengthNorm[] = { 0.75, 0.75, 0.5 }; // BM25's b, per column
    const PhraseRows* rows = PhraseRowsOf(api, fts);
    int count = 0;
    if (rows == nullptr || api->xInstCount(fts, &count) != SQLITE_OK) {
        sqlite3_result_double(result, 0);
        return;
    }
    const std::size_t columns = std::min<std::size_t>(rows->averageLength.size(), std::size(kWeight));
    std::vector<double> lengthFactor(columns);
    for (std::size_t column = 0; column < columns; ++column) {
        int tokens = 0;
        api->xColumnSize(fts, static_cast<int>(column), &tokens);
        lengthFactor[column] = 1.0 - kLengthNorm[column] + kLengthNorm[column] * tokens / rows->averageLength[column];
    }
    std::vector<double> frequency(rows->idf.size());
    for (int i = 0; i < count; ++i) {
        int phrase = 0;
        int column = 0;
        int offset = 0;
        if (api->xInst(fts, i, &phrase, &column, &offset) == SQLITE_OK
            && static_cast<std::size_t>(phrase) < frequency.size() && static_cast<std::size_t>(column) < columns)
            frequency[static_cast<std::size_t>(phrase)]
                += kWeight[column] / lengthFactor[static_cast<std::size_t>(column)];
    }
    double score = 0;
    for (std::size_t phrase = 0; phrase < frequency.size(); ++phrase)
        score += rows->idf[phrase] * frequency[phrase] * (kSaturation + 1) / (frequency[phrase] + kSaturation);
    sqlite3_result_double(result, -score);
}

// headings_missing(table, terms)
void HeadingsMissing(
    const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* result, int argc, sqlite3_value** argv)
{
    sqlite3_result_int(result, SeenIn(api, fts, argc >= 1 ? sqlite3_value_int(argv[0]) : 0).missingFromHeadings);
}

// prefix_only(table, terms, exactFirst)
void PrefixOnly(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* result, int argc, sqlite3_value** argv)
{
    const int terms = argc >= 1 ? sqlite3_value_int(argv[0]) : 0;
    const bool exactFirst = argc >= 2 && sqlite3_value_int(argv[1]) != 0;
    sqlite3_result_int(
        result, exactFirst && api->xPhraseCount(fts) > terms && !SeenIn(api, fts, terms).lastFirstPhrase ? 1 : 0);
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

void RegisterRankFunctions(sqlite3* db)
{
    fts5_api* api = Fts5Of(db);
    if (api == nullptr || api->xCreateFunction(api, "best_place", nullptr, BestPlace, nullptr) != SQLITE_OK
        || api->xCreateFunction(api, "title_missing", nullptr, TitleMissing, nullptr) != SQLITE_OK
        || api->xCreateFunction(api, "headings_missing", nullptr, HeadingsMissing, nullptr) != SQLITE_OK
        || api->xCreateFunction(api, "prefix_only", nullptr, PrefixOnly, nullptr) != SQLITE_OK
        || api->xCreateFunction(api, "book_rank", nullptr, BookRank, nullptr) != SQLITE_OK)
        throw Exception("Search index: SQLite has no FTS5");
}
