#include "search/Fts5Functions.h"

#include "common/Exception.h"
#include "search/PreparedPage.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

namespace {

// The columns that hold each of the query's phrases in the current row, a bit a column.
std::vector<unsigned> PhraseColumns(const Fts5ExtensionApi* api, Fts5Context* fts)
{
    std::vector<unsigned> columns(static_cast<std::size_t>(std::max(api->xPhraseCount(fts), 0)), 0);
    for (std::size_t phrase = 0; phrase < columns.size(); ++phrase) {
        Fts5PhraseIter iterator {};
        int column = -1;
        if (api->xPhraseFirstColumn(fts, static_cast<int>(phrase), &iterator, &column) != SQLITE_OK)
            continue;
        for (; column >= 0; api->xPhraseNextColumn(fts, &iterator, &column))
            columns[phrase] |= 1U << static_cast<unsigned>(std::min(column, 31));
    }
    return columns;
}

// How many of the query's terms the row lacks in its title and in its headings, and whether it
// holds the word the last term was typed as.
struct TermsSeen {
    int missingFromTitle = 0;
    int missingFromHeadings = 0;
    bool holdsTypedWord = false;
};

TermsSeen SeenIn(const Fts5ExtensionApi* api, Fts5Context* fts, const TQueryShape* shape)
{
    if (shape == nullptr)
        return {};
    const int terms = shape->terms;
    TermsSeen seen { terms, terms, false };
    const std::vector<unsigned> columns = PhraseColumns(api, fts);
    // A term is in a column when all its phrases are, or, for the alternatives the last term can
    // become, any one of them.
    std::vector<unsigned> termColumns(static_cast<std::size_t>(std::max(terms, 0)), ~0U);
    std::vector<unsigned> alternativeColumns(termColumns.size(), 0);
    std::vector<bool> hasAlternatives(termColumns.size(), false);
    const std::size_t phrases = std::min(columns.size(), shape->termOfPhrase.size());
    for (std::size_t phrase = 0; phrase < phrases; ++phrase) {
        const auto term = static_cast<std::size_t>(shape->termOfPhrase[phrase]);
        if (term >= termColumns.size())
            continue;
        if (static_cast<int>(phrase) >= shape->firstAlternative && shape->firstAlternative >= 0) {
            alternativeColumns[term] |= columns[phrase];
            hasAlternatives[term] = true;
        } else {
            termColumns[term] &= columns[phrase];
        }
    }
    for (std::size_t term = 0; term < termColumns.size(); ++term) {
        const unsigned in = hasAlternatives[term] ? termColumns[term] & alternativeColumns[term] : termColumns[term];
        if ((in & (1U << kTitleColumn)) != 0)
            --seen.missingFromTitle;
        if ((in & (1U << kHeadingsColumn)) != 0)
            --seen.missingFromHeadings;
    }
    seen.holdsTypedWord = shape->firstAlternative >= 0
        && static_cast<std::size_t>(shape->firstAlternative) < columns.size()
        && columns[static_cast<std::size_t>(shape->firstAlternative)] != 0;
    return seen;
}

const TQueryShape* ShapeOf(int argc, sqlite3_value** argv)
{
    return argc >= 1 ? static_cast<const TQueryShape*>(sqlite3_value_pointer(argv[0], kQueryShapeType)) : nullptr;
}

// title_missing(table, shape)
void TitleMissing(
    const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* result, int argc, sqlite3_value** argv)
{
    sqlite3_result_int(result, SeenIn(api, fts, ShapeOf(argc, argv)).missingFromTitle);
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
void BookRank(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* result, int argc, sqlite3_value** argv)
{
    const TQueryShape* shape = ShapeOf(argc, argv);
    constexpr double kSaturation = 1.2; // BM25's k1
    constexpr double kWeight[] = { 6.0, 3.0, 1.0 }; // title, headings, body
    constexpr double kLengthNorm[] = { 0.75, 0.75, 0.5 }; // BM25's b, per column
    const PhraseRows* rows = PhraseRowsOf(api, fts);
    if (rows == nullptr) {
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
    // The index knows in which columns a phrase stands, and roughly how often the body and the
    // headings hold it.
    const std::vector<unsigned> phraseColumns = PhraseColumns(api, fts);
    std::vector<double> frequency(rows->idf.size());
    for (std::size_t phrase = 0; phrase < std::min(frequency.size(), phraseColumns.size()); ++phrase) {
        if (shape != nullptr && phrase < shape->termOfPhrase.size()
            && shape->termOfPhrase[phrase] == TQueryShape::kNoTerm)
            continue;
        const unsigned in = phraseColumns[phrase];
        for (std::size_t column = 0; column < columns; ++column) {
            if ((in & (1U << column)) == 0)
                continue;
            // How often the body or the headings hold it: the middle of the highest kind it belongs to.
            double times = 1;
            const bool body = column == kBodyColumn;
            if (body || column == kHeadingsColumn) {
                const int first = body ? kFirstTimesColumn : kFirstHeadingTimesColumn;
                const std::size_t kinds = body ? kTimesKinds : kHeadingTimesKinds;
                for (std::size_t kind = 0; kind < kinds; ++kind) {
                    if ((in & (1U << (first + static_cast<int>(kind)))) != 0)
                        times = 1.5 * LeastTimesOfKind(kind);
                }
            }
            frequency[phrase] += times * kWeight[column] / lengthFactor[column];
        }
    }
    double score = 0;
    for (std::size_t phrase = 0; phrase < frequency.size(); ++phrase)
        score += rows->idf[phrase] * frequency[phrase] * (kSaturation + 1) / (frequency[phrase] + kSaturation);
    sqlite3_result_double(result, -score);
}

// title_extra(table, shape)
void TitleExtra(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* result, int argc, sqlite3_value** argv)
{
    const TQueryShape* shape = ShapeOf(argc, argv);
    int words = 0;
    api->xColumnSize(fts, kTitleColumn, &words);
    sqlite3_result_int(result, words - (shape != nullptr ? shape->queryWords : 0));
}

// headings_missing(table, shape)
void HeadingsMissing(
    const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* result, int argc, sqlite3_value** argv)
{
    sqlite3_result_int(result, SeenIn(api, fts, ShapeOf(argc, argv)).missingFromHeadings);
}

// prefix_only(table, shape)
void PrefixOnly(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* result, int argc, sqlite3_value** argv)
{
    const TQueryShape* shape = ShapeOf(argc, argv);
    const bool typedFirst = shape != nullptr && shape->typedWordFirst && shape->firstAlternative >= 0;
    sqlite3_result_int(result, typedFirst && !SeenIn(api, fts, shape).holdsTypedWord ? 1 : 0);
}

} // namespace

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
    if (api == nullptr || api->xCreateFunction(api, "title_missing", nullptr, TitleMissing, nullptr) != SQLITE_OK
        || api->xCreateFunction(api, "headings_missing", nullptr, HeadingsMissing, nullptr) != SQLITE_OK
        || api->xCreateFunction(api, "title_extra", nullptr, TitleExtra, nullptr) != SQLITE_OK
        || api->xCreateFunction(api, "prefix_only", nullptr, PrefixOnly, nullptr) != SQLITE_OK
        || api->xCreateFunction(api, "book_rank", nullptr, BookRank, nullptr) != SQLITE_OK)
        throw Exception("Search index: SQLite has no FTS5");
}
