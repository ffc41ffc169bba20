#include "SearchIndex.h"

#include "Exception.h"
#include "Fts5Functions.h"
#include "IndexTokenizer.h"
#include "PackedText.h"
#include "Snippet.h"

#include <sqlite3.h>

#include <algorithm>
#include <optional>

namespace {

// The words live in a contentless FTS5 table (its index only); names and titles in a plain table
// under the same row number, and the text in packed blocks keyed by page and first token. Title
// matches count ten times as much as body matches.
constexpr const char* kSchema = "CREATE VIRTUAL TABLE words USING fts5(title, body, content = '', "
                                "tokenize = 'unicode61 remove_diacritics 2');"
                                "INSERT INTO words(words, rank) VALUES('rank', 'bm25(10.0, 1.0)');"
                                "CREATE TABLE pages(id INTEGER PRIMARY KEY, name BLOB, title TEXT);"
                                "CREATE TABLE blocks(page INTEGER, first_token INTEGER, text BLOB, "
                                "PRIMARY KEY(page, first_token)) WITHOUT ROWID;";

std::string ColumnBytes(sqlite3_stmt* statement, int column)
{
    const auto* bytes = sqlite3_column_blob(statement, column);
    const int size = sqlite3_column_bytes(statement, column);
    return bytes == nullptr ? std::string()
                            : std::string(static_cast<const char*>(bytes), static_cast<std::size_t>(size));
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
    // No locking inside SQLite: the index is used by one thread at a time.
    if (sqlite3_open_v2(":memory:", &db_,
            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_MEMORY | SQLITE_OPEN_NOMUTEX, nullptr)
        != SQLITE_OK) {
        sqlite3_close(db_);
        throw Exception("Cannot make the search index: out of memory");
    }
    try {
        // Nothing is rolled back: a journal would only add to the memory a build takes.
        Execute("PRAGMA journal_mode = OFF");
        // Sorts of large result sets stay in memory too: nothing of a book is written to disk.
        Execute("PRAGMA temp_store = MEMORY");
        Execute(kSchema);
        tokenizer_ = std::make_unique<TIndexTokenizer>(db_);
        packer_ = std::make_unique<TTextPacker>();
        RegisterBestPlace(db_);
        insertWords_ = Prepare("INSERT INTO words(rowid, title, body) VALUES(?1, ?2, ?3)");
        insertPage_ = Prepare("INSERT INTO pages(id, name, title) VALUES(?1, ?2, ?3)");
        insertBlock_ = Prepare("INSERT INTO blocks(page, first_token, text) VALUES(?1, ?2, ?3)");
        count_ = Prepare("SELECT count(*) FROM words WHERE words MATCH ?1");
        select_ = Prepare("SELECT rowid, -rank, best_place(words) FROM words WHERE words MATCH ?1 "
                          "ORDER BY rank LIMIT ?2 OFFSET ?3");
        // The block holding a token, then the next ones (the third only tells that text follows).
        // A page's name and title with the block holding a token and the next ones (of the third,
        // only that it exists matters); a page without text gives one row without a block.
        hit_ = Prepare("SELECT p.name, p.title, b.first_token, b.text FROM pages p LEFT JOIN blocks b "
                       "ON b.page = p.id AND b.first_token >= ifnull((SELECT max(first_token) FROM blocks "
                       "WHERE page = ?1 AND first_token <= ?2), 0) WHERE p.id = ?1 ORDER BY b.first_token LIMIT 3");
    } catch (...) {
        Close();
        throw;
    }
}

TSearchIndex::~TSearchIndex()
{
    Close();
}

void TSearchIndex::Close()
{
    for (sqlite3_stmt* statement : { insertWords_, insertPage_, insertBlock_, count_, select_, hit_ })
        sqlite3_finalize(statement);
    tokenizer_.reset();
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
    const int64_t id = pageCount_ + 1;
    {
        StatementReset reset { insertWords_ };
        sqlite3_bind_int64(insertWords_, 1, id);
        sqlite3_bind_text64(insertWords_, 2, text.title.data(), text.title.size(), SQLITE_STATIC, SQLITE_UTF8);
        sqlite3_bind_text64(insertWords_, 3, text.body.data(), text.body.size(), SQLITE_STATIC, SQLITE_UTF8);
        if (sqlite3_step(insertWords_) != SQLITE_DONE)
            throw Exception(std::string("Search index: ") + sqlite3_errmsg(db_));
    }
    {
        StatementReset reset { insertPage_ };
        sqlite3_bind_int64(insertPage_, 1, id);
        sqlite3_bind_blob64(insertPage_, 2, name.data(), name.size(), SQLITE_STATIC);
        sqlite3_bind_text64(insertPage_, 3, text.title.data(), text.title.size(), SQLITE_STATIC, SQLITE_UTF8);
        if (sqlite3_step(insertPage_) != SQLITE_DONE)
            throw Exception(std::string("Search index: ") + sqlite3_errmsg(db_));
    }
    for (const TextBlock& block : SplitIntoBlocks(*tokenizer_, text.body)) {
        const std::string packed
            = packer_->Pack(std::string_view(text.body).substr(block.begin, block.end - block.begin));
        StatementReset reset { insertBlock_ };
        sqlite3_bind_int64(insertBlock_, 1, id);
        sqlite3_bind_int64(insertBlock_, 2, block.firstToken);
        sqlite3_bind_blob64(insertBlock_, 3, packed.data(), packed.size(), SQLITE_STATIC);
        if (sqlite3_step(insertBlock_) != SQLITE_DONE)
            throw Exception(std::string("Search index: ") + sqlite3_errmsg(db_));
    }
    ++pageCount_;
}

void TSearchIndex::Finish()
{
    if (inTransaction_) {
        Execute("COMMIT");
        inTransaction_ = false;
    }
    Execute("INSERT INTO words(words) VALUES('optimize')");
}

SearchResults TSearchIndex::Search(const SearchQuery& query, int64_t offset, int64_t limit)
{
    SearchResults results;
    results.offset = offset;
    if (query.expression.empty() || limit <= 0 || offset < 0)
        return results;
    struct Ranked {
        int64_t id;
        double score;
        int64_t place;
    };
    std::vector<Ranked> ranked;
    {
        StatementReset reset { count_ };
        sqlite3_bind_text64(count_, 1, query.expression.data(), query.expression.size(), SQLITE_STATIC, SQLITE_UTF8);
        if (sqlite3_step(count_) != SQLITE_ROW)
            return results; // the query cannot be malformed; anything else matches nothing
        results.total = sqlite3_column_int64(count_, 0);
    }
    if (results.total <= offset)
        return results;
    {
        StatementReset reset { select_ };
        sqlite3_bind_text64(select_, 1, query.expression.data(), query.expression.size(), SQLITE_STATIC, SQLITE_UTF8);
        sqlite3_bind_int64(select_, 2, limit);
        sqlite3_bind_int64(select_, 3, offset);
        while (sqlite3_step(select_) == SQLITE_ROW)
            ranked.push_back({ sqlite3_column_int64(select_, 0), sqlite3_column_double(select_, 1),
                sqlite3_column_int64(select_, 2) });
    }
    const std::vector<SnippetTerm> terms = SnippetTerms(*tokenizer_, query);
    for (const auto& [id, score, place] : ranked) {
        if (auto hit = HitAt(id, std::max<int64_t>(place - kSnippetLeadTokens, 0), terms)) {
            hit->score = score;
            results.hits.push_back(std::move(*hit));
        }
    }
    return results;
}

std::optional<SearchHit> TSearchIndex::HitAt(int64_t id, int64_t from, const std::vector<SnippetTerm>& terms)
{
    StatementReset reset { hit_ };
    sqlite3_bind_int64(hit_, 1, id);
    sqlite3_bind_int64(hit_, 2, from);
    std::optional<SearchHit> hit;
    std::vector<std::pair<int64_t, std::string>> packed; // first token, packed text
    bool third = false;
    while (!third && sqlite3_step(hit_) == SQLITE_ROW) {
        if (!hit) {
            hit.emplace();
            hit->name = ColumnBytes(hit_, 0);
            hit->title = ColumnBytes(hit_, 1);
        }
        if (sqlite3_column_type(hit_, 3) == SQLITE_NULL)
            break;
        if (packed.size() == 2)
            third = true;
        else
            packed.emplace_back(sqlite3_column_int64(hit_, 2), ColumnBytes(hit_, 3));
    }
    if (!hit || packed.empty())
        return hit;
    // The next block is read only when the snippet runs past the end of the first.
    TextStretch stretch { packer_->Unpack(packed[0].second), packed[0].first, packed.size() == 1 };
    bool ranOut = false;
    hit->snippet = MakeSnippet(*tokenizer_, stretch, from, terms, &ranOut);
    if (ranOut && packed.size() > 1) {
        stretch.text += packer_->Unpack(packed[1].second);
        stretch.endsPage = !third;
        hit->snippet = MakeSnippet(*tokenizer_, stretch, from, terms, nullptr);
    }
    return hit;
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
