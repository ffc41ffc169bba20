#include "search/SearchIndex.h"

#include "book/BookReader.h"
#include "common/Exception.h"
#include "search/BookPageFeeder.h"
#include "search/BookTokenizer.h"
#include "search/ContentsPlaces.h"
#include "search/Fts5Functions.h"
#include "search/IndexQuery.h"
#include "search/IndexTokenizer.h"
#include "search/PackedText.h"
#include "search/QueryBound.h"
#include "search/Snippet.h"
#include "search/StoredIndex.h"
#include "search/StoredPlaces.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <iterator>
#include <string>

namespace {

// The words live in a contentless FTS5 table (its index only), the page under its row number. It
// keeps in which columns of a page each word stands, not where: word positions would make the index
// three times as large; runs of words are found through their joined forms (BookTokenizer.h) and
// phrases checked in the pages' text.
constexpr const char* kSchema = "CREATE VIRTUAL TABLE words USING fts5(title, headings, body, "
                                "times2, times4, times8, times16, times32, times64, heading_times2, "
                                "heading_times4, heading_times8, content = '', "
                                "detail = column, tokenize = 'porter book remove_diacritics 2');";
// Pages with the words as typed come before pages with only longer words the last one begins;
// then pages whose title holds every word, then those whose title holds half of them or more;
// then the same for the headings; then a title that is the query and nothing more ("CREATE TABLE"
// before "CREATE TABLE AS"); then BM25F over the columns. Lower is better.
constexpr const char* kRankOrder = "(prefix_only(words, ?2) * 100000.0"
                                   " + (CASE WHEN title_missing(words, ?2) = 0 THEN 0"
                                   " WHEN title_missing(words, ?2) * 2 <= ?3 THEN 1 ELSE 2 END) * 10000.0"
                                   " + (CASE WHEN headings_missing(words, ?2) = 0 THEN 0"
                                   " WHEN headings_missing(words, ?2) * 2 <= ?3 THEN 1 ELSE 2 END) * 2500.0"
                                   " + (CASE WHEN title_missing(words, ?2) = 0 AND title_extra(words, ?2) = 0"
                                   " THEN 0 ELSE 1 END) * 1000.0"
                                   " + book_rank(words, ?2))";
// What a result's score counts down from: scores are above 0, and those of a better tier are
// 10,000 above those of a worse one.
constexpr double kBestScore = 120000.0;
// New words wait in memory up to this size before they are written as a segment of the index. A
// book's index usually fits whole, so the build writes it once instead of writing and merging
// many small segments; queries see the waiting words too.
constexpr int64_t kPendingWordsBytes = 64 << 20;
// Pages whose text is read to check a quoted phrase, at most; the best ranked first.
constexpr std::size_t kMostPhraseChecks = 500;
// Pages read at once to check phrases: each is held whole while it is looked at.
constexpr std::size_t kPagesReadAtOnce = 16;
// A word being typed is looked up as the whole words it can still become, when there are at most
// this many; otherwise as a prefix.
constexpr std::size_t kMostCompletions = 32;
// The stored index's layout: its tables, its tokenizer and what the pages' text is made of. A
// change to any of them makes books built before fall back to an index built in memory.
constexpr int kStoredIndexVersion = 2;
// A query of a stored index that runs longer fails as damage: the largest books answer in well
// under a second.
constexpr std::chrono::seconds kMostStoredQueryTime { 10 };

// Resets the statement however the caller leaves.
struct StatementReset {
    sqlite3_stmt* statement;
    ~StatementReset()
    {
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
    }
};

} // namespace

TSearchIndex::TSearchIndex()
{
    // No locking inside SQLite: the index is used by one thread at a time.
    if (sqlite3_open_v2(":memory:", &db_,
            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_MEMORY | SQLITE_OPEN_NOMUTEX, nullptr)
        != SQLITE_OK) {
        sqlite3_close(db_);
        throw Exception("Cannot make the search index: out of memory");
    }
    try {
        bound_ = std::make_unique<TQueryBound>(db_, std::chrono::milliseconds::zero());
        // Nothing is rolled back: a journal would only add to the memory a build takes.
        Execute("PRAGMA journal_mode = OFF");
        RegisterBookTokenizer(db_);
        Execute(kSchema);
        Execute(
            ("INSERT INTO words(words, rank) VALUES('hashsize', " + std::to_string(kPendingWordsBytes) + ")").c_str());
        insertWords_ = Prepare("INSERT INTO words(rowid, title, headings, body, times2, times4, times8, times16, "
                               "times32, times64, heading_times2, heading_times4, heading_times8) "
                               "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13)");
        PrepareQueries();
    } catch (...) {
        Close();
        throw;
    }
}

TSearchIndex::TSearchIndex(const TBookReader& reader, sqlite3* db)
    : db_(db)
    , reader_(&reader)
{
    try {
        bound_ = std::make_unique<TQueryBound>(db_, kMostStoredQueryTime);
        RegisterBookTokenizer(db_);
        PrepareQueries();
        pageOf_ = Prepare("SELECT name, title FROM pages WHERE id = ?1");
        sqlite3_stmt* repeated = Prepare("SELECT hash FROM repeated");
        std::vector<uint64_t> hashes;
        int step = SQLITE_ROW;
        while ((step = sqlite3_step(repeated)) == SQLITE_ROW)
            hashes.push_back(static_cast<uint64_t>(sqlite3_column_int64(repeated, 0)));
        sqlite3_finalize(repeated);
        if (step != SQLITE_DONE)
            throw Exception(std::string("Search index: ") + sqlite3_errmsg(db_));
        repeated_ = TRepeatedText(hashes);
        places_ = TStoredPlaces::Open(db_);
    } catch (...) {
        Close();
        throw;
    }
}

void TSearchIndex::PrepareQueries()
{
    // Sorts of large result sets stay in memory too: nothing of a book is written to disk.
    Execute("PRAGMA temp_store = MEMORY");
    tokenizer_ = std::make_unique<TIndexTokenizer>(db_);
    queryWords_ = std::make_unique<TIndexTokenizer>(db_, TIndexTokenizer::Stemming::Unstemmed);
    RegisterRankFunctions(db_);
    // In the temporary schema, which a stored index (read only) can take too.
    Execute("CREATE VIRTUAL TABLE temp.vocabulary USING fts5vocab(main, words, row)");
    completions_ = Prepare("SELECT term FROM vocabulary WHERE term >= ?1");
    select_ = Prepare((std::string("SELECT rowid, ") + kRankOrder + " FROM words WHERE words MATCH ?1").c_str());
}

bool TSearchIndex::IsWrittenSchema(const std::vector<SchemaRow>& rows)
{
    // Read back from an empty index as StoredImage writes it, once.
    static const std::vector<SchemaRow> written = [] {
        TSearchIndex empty;
        const TContentsPlaces none;
        empty.StoredImage(TRepeatedText(), &none);
        return SchemaOf(empty.db_);
    }();
    std::vector<SchemaRow> withoutPlaces;
    std::copy_if(written.begin(), written.end(), std::back_inserter(withoutPlaces),
        [](const SchemaRow& row) { return row[2] != "places"; });
    return rows == written || rows == withoutPlaces;
}

std::unique_ptr<TSearchIndex> TSearchIndex::OpenStored(const TBookReader& reader)
{
    sqlite3* db = OpenStoredIndex(reader);
    if (db == nullptr)
        return nullptr;
    int version = -1;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &statement, nullptr) == SQLITE_OK
        && sqlite3_step(statement) == SQLITE_ROW)
        version = sqlite3_column_int(statement, 0);
    sqlite3_finalize(statement);
    if (version < 0) {
        sqlite3_close(db);
        throw Exception("The book's search index is damaged");
    }
    if (version != kStoredIndexVersion) {
        sqlite3_close(db);
        return nullptr;
    }
    // Nothing but what this program writes: a view, a trigger, a table of another shape or an
    // index whose words come from elsewhere would run the author's SQL for every query.
    try {
        if (!IsWrittenSchema(SchemaOf(db)))
            throw Exception("The book's search index is damaged: its tables are not those this program writes");
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    try {
        return std::unique_ptr<TSearchIndex>(new TSearchIndex(reader, db));
    } catch (const std::exception&) {
        throw Exception("The book's search index is damaged");
    }
}

std::string TSearchIndex::StoredImage(const TRepeatedText& repeated, const TContentsPlaces* places)
{
    Finish();
    Execute("CREATE TABLE pages(id INTEGER PRIMARY KEY, name BLOB, title TEXT);"
            "CREATE TABLE repeated(hash INTEGER PRIMARY KEY);");
    Execute("BEGIN");
    sqlite3_stmt* page = Prepare("INSERT INTO pages(id, name, title) VALUES(?1, ?2, ?3)");
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        sqlite3_bind_int64(page, 1, static_cast<int64_t>(i) + 1);
        sqlite3_bind_blob64(page, 2, pages_[i].name.data(), pages_[i].name.size(), SQLITE_STATIC);
        sqlite3_bind_text64(page, 3, pages_[i].title.data(), pages_[i].title.size(), SQLITE_STATIC, SQLITE_UTF8);
        const int step = sqlite3_step(page);
        sqlite3_reset(page);
        if (step != SQLITE_DONE) {
            sqlite3_finalize(page);
            throw Exception(std::string("Search index: ") + sqlite3_errmsg(db_));
        }
    }
    sqlite3_finalize(page);
    sqlite3_stmt* hash = Prepare("INSERT OR IGNORE INTO repeated(hash) VALUES(?1)");
    for (const uint64_t value : repeated.Hashes()) {
        sqlite3_bind_int64(hash, 1, static_cast<int64_t>(value));
        sqlite3_step(hash);
        sqlite3_reset(hash);
    }
    sqlite3_finalize(hash);
    if (places != nullptr) {
        std::vector<std::string> names;
        names.reserve(pages_.size());
        for (const StoredPage& stored : pages_)
            names.push_back(stored.name);
        WriteStoredPlaces(db_, names, *places);
    }
    Execute("COMMIT");
    Execute(("PRAGMA user_version = " + std::to_string(kStoredIndexVersion)).c_str());
    Execute("VACUUM");
    sqlite3_int64 size = 0;
    unsigned char* bytes = sqlite3_serialize(db_, "main", &size, 0);
    if (bytes == nullptr)
        throw Exception("Search index: out of memory");
    std::string image(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size));
    sqlite3_free(bytes);
    return image;
}

TSearchIndex::~TSearchIndex()
{
    Close();
}

void TSearchIndex::QueryFailed() const
{
    if (SearchesStopped())
        throw Exception("Searching stopped");
    if (bound_->Exceeded())
        throw Exception("The book's search index is damaged: a query ran past "
            + std::to_string(std::chrono::duration_cast<std::chrono::seconds>(bound_->Limit()).count()) + " s");
    throw Exception("The book's search index is damaged: " + std::string(sqlite3_errmsg(db_)));
}

void TSearchIndex::Close()
{
    for (sqlite3_stmt* statement : { insertWords_, completions_, select_, pageOf_ })
        sqlite3_finalize(statement);
    places_.reset();
    tokenizer_.reset();
    queryWords_.reset();
    bound_.reset();
    sqlite3_close(db_);
}

void TSearchIndex::Execute(const char* sql)
{
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string text = message != nullptr ? message : sqlite3_errmsg(db_);
        sqlite3_free(message);
        throw Exception("Search index: " + text);
    }
}

sqlite3_stmt* TSearchIndex::Prepare(const char* sql)
{
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) != SQLITE_OK)
        throw Exception(std::string("Search index: ") + sqlite3_errmsg(db_));
    return statement;
}

void TSearchIndex::Add(std::string_view name, const PageText& text)
{
    if (!preparer_)
        preparer_ = std::make_unique<TPagePreparer>();
    Add(preparer_->Prepare(name, text));
}

void TSearchIndex::Add(PreparedPage page)
{
    // One transaction for the whole build: committing page by page would write a segment each.
    if (!inTransaction_) {
        Execute("BEGIN");
        inTransaction_ = true;
    }
    const auto id = static_cast<int64_t>(pages_.size()) + 1;
    {
        // The body has moved since it was tokenized: its tokens are tied to it as it is now.
        page.bodyTokens.text = page.text.body.data();
        page.bodyTokens.size = page.text.body.size();
        const TTokenReplay replay(page.bodyTokens);
        StatementReset reset { insertWords_ };
        const PageText& text = page.text;
        sqlite3_bind_int64(insertWords_, 1, id);
        sqlite3_bind_text64(insertWords_, 2, text.title.data(), text.title.size(), SQLITE_STATIC, SQLITE_UTF8);
        sqlite3_bind_text64(insertWords_, 3, text.headings.data(), text.headings.size(), SQLITE_STATIC, SQLITE_UTF8);
        sqlite3_bind_text64(insertWords_, 4, text.body.data(), text.body.size(), SQLITE_STATIC, SQLITE_UTF8);
        int parameter = 5;
        for (const auto* kinds : { &page.wordsByTimes[0], &page.headingWordsByTimes[0] }) {
            const std::size_t count = kinds == &page.wordsByTimes[0] ? kTimesKinds : kHeadingTimesKinds;
            for (std::size_t kind = 0; kind < count; ++kind)
                sqlite3_bind_text64(
                    insertWords_, parameter++, kinds[kind].data(), kinds[kind].size(), SQLITE_STATIC, SQLITE_UTF8);
        }
        if (sqlite3_step(insertWords_) != SQLITE_DONE)
            throw Exception(std::string("Search index: ") + sqlite3_errmsg(db_));
    }
    StoredPage stored { std::move(page.name), std::move(page.text.title), std::move(page.packedBody) };
    storedBytes_
        += static_cast<int64_t>(stored.name.capacity() + stored.title.capacity() + stored.packedBody.capacity());
    pages_.push_back(std::move(stored));
}

void TSearchIndex::Finish()
{
    if (inTransaction_) {
        Execute("COMMIT");
        inTransaction_ = false;
    }
    Execute("INSERT INTO words(words) VALUES('optimize')");
    pages_.shrink_to_fit();
}

SearchResults TSearchIndex::Search(const SearchQuery& query, int64_t offset, int64_t limit)
{
    SearchResults results;
    results.offset = offset;
    results.placed = places_ != nullptr;
    results.queryCut = query.cut;
    if (query.expression.empty() || limit <= 0 || offset < 0)
        return results;
    IndexQuery lookup = IndexQueryOf(*queryWords_, query);
    if (lookup.expression.empty())
        return results;
    bound_->Start();
    if (SearchesStopped())
        QueryFailed();
    LookUpCompletions(lookup);
    struct Ranked {
        int64_t id;
        double rank; // lower is better
    };
    std::vector<Ranked> ranked;
    {
        StatementReset reset { select_ };
        sqlite3_bind_text64(select_, 1, lookup.expression.data(), lookup.expression.size(), SQLITE_STATIC, SQLITE_UTF8);
        sqlite3_bind_pointer(select_, 2, &lookup.shape, kQueryShapeType, nullptr);
        sqlite3_bind_int(select_, 3, lookup.shape.terms);
        int step = SQLITE_ROW;
        while ((step = sqlite3_step(select_)) == SQLITE_ROW)
            ranked.push_back({ sqlite3_column_int64(select_, 0), sqlite3_column_double(select_, 1) });
        if (step != SQLITE_DONE) {
            // The query cannot be malformed: a stored index that cannot be read is damaged;
            // anything else matches nothing.
            if (IsStored() || SearchesStopped())
                QueryFailed();
            return results;
        }
    }
    const auto better
        = [](const Ranked& a, const Ranked& b) { return a.rank != b.rank ? a.rank < b.rank : a.id < b.id; };
    if (!lookup.phrases.empty()) {
        SearchQuery phrases;
        phrases.terms = lookup.phrases;
        const std::vector<SnippetTerm> wanted = SnippetTerms(*tokenizer_, phrases);
        // The best first: a phrase of common words would have every page read, so only the best
        // kMostPhraseChecks are, and those below count as holding it, unchecked.
        std::sort(ranked.begin(), ranked.end(), better);
        const std::size_t checked = std::min(ranked.size(), kMostPhraseChecks);
        std::vector<Ranked> holding;
        for (std::size_t first = 0; first < checked; first += kPagesReadAtOnce) {
            if (SearchesStopped())
                QueryFailed();
            const std::size_t count = std::min(kPagesReadAtOnce, checked - first);
            std::vector<int64_t> ids;
            for (std::size_t i = first; i < first + count; ++i)
                ids.push_back(ranked[i].id);
            const std::vector<PageWords> pages = WordsOf(ids);
            for (std::size_t i = 0; i < count; ++i) {
                const bool holds = std::all_of(wanted.begin(), wanted.end(), [&](const SnippetTerm& phrase) {
                    return HoldsEvery(*tokenizer_, pages[i].hit.title, { phrase })
                        || HoldsEvery(*tokenizer_, pages[i].body, { phrase });
                });
                if (holds)
                    holding.push_back(ranked[first + i]);
            }
        }
        holding.insert(holding.end(), ranked.begin() + static_cast<std::ptrdiff_t>(checked), ranked.end());
        ranked = std::move(holding);
    }
    results.total = static_cast<int64_t>(ranked.size());
    if (results.total <= offset)
        return results;
    const auto end = ranked.begin() + offset + std::min(limit, results.total - offset);
    std::partial_sort(ranked.begin(), end, ranked.end(), better);
    const std::vector<SnippetTerm> terms = SnippetTerms(*tokenizer_, query);
    std::vector<int64_t> ids;
    for (auto row = ranked.begin() + offset; row != end; ++row)
        ids.push_back(row->id);
    std::vector<PageWords> pages = WordsOf(ids);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        SearchHit hit = std::move(pages[i].hit);
        hit.score = kBestScore - ranked[static_cast<std::size_t>(offset) + i].rank;
        const std::string& body = pages[i].body;
        const int64_t from = std::max<int64_t>(BestPlace(*tokenizer_, body, terms) - kSnippetLeadTokens, 0);
        hit.snippet = MakeSnippet(*tokenizer_, body, from, terms);
        results.hits.push_back(std::move(hit));
    }
    return results;
}

void TSearchIndex::LookUpCompletions(IndexQuery& lookup)
{
    if (lookup.prefix.empty())
        return;
    // The index's words are stems: the prefix as typed, stemmed as the index would.
    const std::string typed = lookup.prefix;
    std::vector<std::string> folded = tokenizer_->QueryTokens(typed);
    if (folded.size() != 1)
        return;
    const std::string& prefix = folded.front();
    // A word the stemmer shortened ("socks" kept as "sock") is a prefix of what was typed, never of
    // its stem: "socket" begins with "sock" but is no word "socks" begins. Such a word becomes its
    // own stem and the stems that begin with it as typed; where that cannot be asked for, it is
    // looked up whole (the index's own prefix query would stem it first).
    const bool shortened = prefix != typed;
    const auto whole = [&] {
        if (shortened)
            KeepLastWordWhole(lookup);
    };
    std::vector<std::string> completions;
    // The vocabulary is in order: the word as typed, when the index holds it, comes first.
    {
        StatementReset reset { completions_ };
        sqlite3_bind_text64(completions_, 1, prefix.data(), prefix.size(), SQLITE_STATIC, SQLITE_UTF8);
        while (sqlite3_step(completions_) == SQLITE_ROW) {
            const auto* term = reinterpret_cast<const char*>(sqlite3_column_text(completions_, 0));
            const std::string_view word(
                term != nullptr ? term : "", static_cast<std::size_t>(sqlite3_column_bytes(completions_, 0)));
            if (!word.starts_with(prefix))
                break;
            if (shortened && word != prefix && !word.starts_with(typed))
                continue;
            if (completions.size() == kMostCompletions)
                return whole();
            completions.emplace_back(word);
        }
    }
    // A stem stemmed again may change ("comprehension" is kept as "comprehens", which would be
    // looked up as "comprehen"): such a word cannot be asked for whole, so the query keeps its prefix.
    for (const std::string& completion : completions) {
        const std::vector<std::string> again = tokenizer_->QueryTokens(completion);
        if (again.size() != 1 || again.front() != completion)
            return whole();
    }
    if (completions.empty())
        return whole();
    CompleteLastWord(lookup, completions, prefix);
}

std::vector<TSearchIndex::PageWords> TSearchIndex::WordsOf(const std::vector<int64_t>& ids)
{
    std::vector<PageWords> pages(ids.size());
    if (!IsStored()) {
        for (std::size_t i = 0; i < ids.size(); ++i) {
            const StoredPage& page = pages_.at(static_cast<std::size_t>(ids[i] - 1));
            pages[i].hit.name = page.name;
            pages[i].hit.title = page.title;
            pages[i].body = TTextPacker::Unpack(page.packedBody);
        }
        return pages;
    }
    std::vector<int> entries;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        SearchHit& hit = pages[i].hit;
        {
            StatementReset reset { pageOf_ };
            sqlite3_bind_int64(pageOf_, 1, ids[i]);
            if (sqlite3_step(pageOf_) != SQLITE_ROW)
                QueryFailed();
            hit.name.assign(static_cast<const char*>(sqlite3_column_blob(pageOf_, 0)),
                static_cast<std::size_t>(sqlite3_column_bytes(pageOf_, 0)));
            const auto* title = reinterpret_cast<const char*>(sqlite3_column_text(pageOf_, 1));
            hit.title.assign(title != nullptr ? title : "", static_cast<std::size_t>(sqlite3_column_bytes(pageOf_, 1)));
        }
        if (places_)
            places_->Place(ids[i], hit);
        entries.push_back(reader_->IndexOfPage(hit.name));
    }
    // The pages' text as the index took it, read from the book again.
    std::vector<std::string> bodies = SearchedBodies(*reader_, entries, repeated_);
    for (std::size_t i = 0; i < pages.size(); ++i)
        pages[i].body = std::move(bodies[i]);
    return pages;
}

std::vector<std::pair<std::string, std::string>> TSearchIndex::PageTitles() const
{
    std::vector<std::pair<std::string, std::string>> titles;
    if (!IsStored()) {
        titles.reserve(pages_.size());
        for (const StoredPage& page : pages_)
            titles.emplace_back(page.name, page.title);
        return titles;
    }
    bound_->Start();
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, "SELECT name, title FROM pages ORDER BY id", -1, &statement, nullptr) != SQLITE_OK)
        QueryFailed();
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
        const auto* title = reinterpret_cast<const char*>(sqlite3_column_text(statement, 1));
        titles.emplace_back(std::string(static_cast<const char*>(sqlite3_column_blob(statement, 0)),
                                static_cast<std::size_t>(sqlite3_column_bytes(statement, 0))),
            std::string(title != nullptr ? title : "", static_cast<std::size_t>(sqlite3_column_bytes(statement, 1))));
    }
    sqlite3_finalize(statement);
    if (step != SQLITE_DONE)
        QueryFailed();
    return titles;
}

int64_t TSearchIndex::MemoryUsed() const
{
    int64_t total = 0;
    for (const int what : { SQLITE_DBSTATUS_CACHE_USED, SQLITE_DBSTATUS_SCHEMA_USED, SQLITE_DBSTATUS_STMT_USED }) {
        int current = 0;
        int highest = 0;
        sqlite3_db_status(db_, what, &current, &highest, 0);
        total += current;
    }
    return total + storedBytes_ + static_cast<int64_t>(pages_.capacity() * sizeof(StoredPage));
}

std::string MarkedSnippet(const std::vector<SnippetPiece>& snippet, std::string_view open, std::string_view close)
{
    std::string out;
    for (const SnippetPiece& piece : snippet) {
        if (piece.matched)
            out.append(open);
        out.append(piece.text);
        if (piece.matched)
            out.append(close);
    }
    return out;
}
