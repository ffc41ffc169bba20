#include "SearchIndex.h"

#include "Exception.h"

#include <sqlite3.h>

namespace {

// Marks snippet() puts around matched words; the index text never holds control characters.
constexpr char kMatchOpen = '\x02';
constexpr char kMatchClose = '\x03';

// Title matches count this many times as much as body matches.
constexpr const char* kSchema = "CREATE VIRTUAL TABLE pages USING fts5(name UNINDEXED, title, body, "
                                "tokenize = 'unicode61 remove_diacritics 2');"
                                "INSERT INTO pages(pages, rank) VALUES('rank', 'bm25(0.0, 10.0, 1.0)');";

// Tokens of the snippet around the best match.
constexpr const char* kSelect = "SELECT name, title, -rank, snippet(pages, 2, char(2), char(3), '\xE2\x80\xA6', 16) "
                                "FROM pages WHERE pages MATCH ?1 ORDER BY rank LIMIT ?2 OFFSET ?3";

std::vector<SnippetPiece> SplitSnippet(std::string_view marked)
{
    std::vector<SnippetPiece> pieces;
    bool matched = false;
    std::size_t start = 0;
    const auto flush = [&](std::size_t end) {
        if (end > start)
            pieces.push_back({ std::string(marked.substr(start, end - start)), matched });
    };
    for (std::size_t i = 0; i < marked.size(); ++i) {
        if (marked[i] == kMatchOpen || marked[i] == kMatchClose) {
            flush(i);
            matched = marked[i] == kMatchOpen;
            start = i + 1;
        }
    }
    flush(marked.size());
    return pieces;
}

std::string ColumnText(sqlite3_stmt* statement, int column)
{
    const auto* text = sqlite3_column_blob(statement, column);
    const int size = sqlite3_column_bytes(statement, column);
    return text == nullptr ? std::string()
                           : std::string(static_cast<const char*>(text), static_cast<std::size_t>(size));
}

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
    if (sqlite3_open_v2(":memory:", &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_MEMORY, nullptr)
        != SQLITE_OK) {
        sqlite3_close(db_);
        throw Exception("Cannot make the search index: out of memory");
    }
    try {
        // Nothing is rolled back: a journal would only double the memory a build takes.
        Execute("PRAGMA journal_mode = OFF");
        Execute(kSchema);
        insert_ = Prepare("INSERT INTO pages(name, title, body) VALUES(?1, ?2, ?3)");
        count_ = Prepare("SELECT count(*) FROM pages WHERE pages MATCH ?1");
        select_ = Prepare(kSelect);
    } catch (...) {
        sqlite3_finalize(insert_);
        sqlite3_finalize(count_);
        sqlite3_finalize(select_);
        sqlite3_close(db_);
        throw;
    }
}

TSearchIndex::~TSearchIndex()
{
    sqlite3_finalize(insert_);
    sqlite3_finalize(count_);
    sqlite3_finalize(select_);
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
    // One transaction for the whole build: committing page by page would write a segment each.
    if (!inTransaction_) {
        Execute("BEGIN");
        inTransaction_ = true;
    }
    StatementReset reset { insert_ };
    sqlite3_bind_blob64(insert_, 1, name.data(), name.size(), SQLITE_STATIC);
    sqlite3_bind_text64(insert_, 2, text.title.data(), text.title.size(), SQLITE_STATIC, SQLITE_UTF8);
    sqlite3_bind_text64(insert_, 3, text.body.data(), text.body.size(), SQLITE_STATIC, SQLITE_UTF8);
    if (sqlite3_step(insert_) != SQLITE_DONE)
        throw Exception(std::string("Search index: ") + sqlite3_errmsg(db_));
    ++pageCount_;
}

void TSearchIndex::Finish()
{
    if (inTransaction_) {
        Execute("COMMIT");
        inTransaction_ = false;
    }
    Execute("INSERT INTO pages(pages) VALUES('optimize')");
}

SearchResults TSearchIndex::Search(const SearchQuery& query, int64_t offset, int64_t limit)
{
    SearchResults results;
    results.offset = offset;
    if (query.expression.empty() || limit <= 0 || offset < 0)
        return results;
    {
        StatementReset reset { count_ };
        sqlite3_bind_text64(count_, 1, query.expression.data(), query.expression.size(), SQLITE_STATIC, SQLITE_UTF8);
        if (sqlite3_step(count_) != SQLITE_ROW)
            return results; // the query cannot be malformed; anything else matches nothing
        results.total = sqlite3_column_int64(count_, 0);
    }
    if (results.total <= offset)
        return results;
    StatementReset reset { select_ };
    sqlite3_bind_text64(select_, 1, query.expression.data(), query.expression.size(), SQLITE_STATIC, SQLITE_UTF8);
    sqlite3_bind_int64(select_, 2, limit);
    sqlite3_bind_int64(select_, 3, offset);
    while (sqlite3_step(select_) == SQLITE_ROW) {
        SearchHit hit;
        hit.name = ColumnText(select_, 0);
        hit.title = ColumnText(select_, 1);
        hit.score = sqlite3_column_double(select_, 2);
        hit.snippet = SplitSnippet(ColumnText(select_, 3));
        results.hits.push_back(std::move(hit));
    }
    return results;
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
    return total;
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
