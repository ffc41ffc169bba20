#pragma once

#include "html/PageText.h"
#include "search/PreparedPage.h"
#include "search/RepeatedText.h"
#include "search/SearchQuery.h"
#include "search/TitleSuggestions.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
class TBookReader;
class TContentsPlaces;
class TStoredPlaces;
struct sqlite3_stmt;
class TIndexTokenizer;
class TQueryBound;

// A run of a snippet's text; `matched` runs are words the query matched.
struct SnippetPiece {
    std::string text;
    bool matched = false;
};

struct SearchHit {
    std::string name; // the page's name as the book stores it (Windows-1252 or UTF-8)
    std::string title; // UTF-8; empty when the page has none
    double score = 0; // higher is better
    std::vector<SnippetPiece> snippet; // a few words around the best match
    std::vector<std::string> breadcrumb; // the contents entries above the page's, top first (ContentsPlaces.h)
};

// One page of results and how many there are in all.
struct SearchResults {
    int64_t total = 0;
    int64_t offset = 0;
    std::vector<SearchHit> hits; // best first
    bool complete = true; // false while the index is still being built
    // The hits carry their breadcrumbs and entry titles already (a stored index that keeps them):
    // nothing is left for TContentsPlaces::Place to do.
    bool placed = false;
    // The query was longer than the bounds (SearchQuery::cut): its first words were searched for.
    bool queryCut = false;
    // Titles that begin with the words, shown above the hits while the reader types; empty else.
    std::vector<TitleSuggestion> suggestions;
};

// The book's text in a full-text index held in memory only: SQLite FTS5 with a tokenizer that
// folds case and strips accents. Pages whose title holds every word come first, then BM25 with
// title and heading matches weighing more; while a word is typed, pages with it whole come before
// pages with only longer words it begins. The index keeps
// no copy of the text itself; each page's name, title and packed text blocks are kept beside it,
// and the text is unpacked only for the snippets of the results shown.
// Not safe for use by two threads at once: one thread builds it and answers its queries.
class TSearchIndex {
public:
    // Raises Exception when the index cannot be made (no memory, or SQLite built without FTS5).
    TSearchIndex();
    ~TSearchIndex();
    TSearchIndex(const TSearchIndex&) = delete;
    TSearchIndex& operator=(const TSearchIndex&) = delete;

    // Adds one page. Pages added are searchable at once. Raises Exception on failure.
    void Add(PreparedPage page);
    // Prepares the page on this thread first.
    void Add(std::string_view name, const PageText& text);
    // Ends building: the index is merged into its fastest, smallest shape.
    void Finish();

    // Results from `offset`, at most `limit` of them. A query with nothing searchable matches
    // nothing; no query can fail.
    SearchResults Search(const SearchQuery& query, int64_t offset, int64_t limit);
    SearchResults Search(std::string_view typed, int64_t offset, int64_t limit, LastWord last = LastWord::Whole)
    {
        return Search(ParseSearchQuery(typed, last), offset, limit);
    }

    // The index a book keeps (StoredIndex.h), opened in place: queries read only the parts of it
    // they need, and snippets come from the pages themselves. Nothing when the book holds no
    // index of this version. Raises Exception when the index is damaged. The reader must be
    // loaded and outlive the index.
    static std::unique_ptr<TSearchIndex> OpenStored(const TBookReader& reader);
    // After Finish: the database image a book keeps, holding the pages' names and titles and the
    // text repeated on many pages (learnt while building) beside the words, and with `places` each
    // page's place in the contents the book keeps (StoredPlaces.h).
    std::string StoredImage(const TRepeatedText& repeated, const TContentsPlaces* places = nullptr);
    bool IsStored() const { return reader_ != nullptr; }
    // Whether hits come with their breadcrumbs and entry titles (SearchResults::placed).
    bool KeepsPlaces() const { return places_ != nullptr; }

    // Every page's name and title (UTF-8, empty for none), in the order they were added. Raises
    // Exception when a stored index cannot be read.
    std::vector<std::pair<std::string, std::string>> PageTitles() const;

    int64_t PageCount() const { return static_cast<int64_t>(pages_.size()); }
    // Bytes of memory the index holds: its SQLite pages, schema and statements, and the pages'
    // names, titles and packed text.
    int64_t MemoryUsed() const;

private:
    struct StoredPage {
        std::string name;
        std::string title;
        std::string packedBody; // TTextPacker's
    };

    // A page as a hit (its name, title, and place when the index keeps it) and its text as the
    // index took it.
    struct PageWords {
        SearchHit hit;
        std::string body;
    };

    // Over a stored index's connection, which it takes.
    TSearchIndex(const TBookReader& reader, sqlite3* db);
    // Whether a stored index's schema is what StoredImage writes (with or without `places`).
    static bool IsWrittenSchema(const std::vector<std::array<std::string, 4>>& rows);
    // Raises Exception: the query was stopped, or a stored index failed it.
    [[noreturn]] void QueryFailed() const;
    void PrepareQueries();
    void Execute(const char* sql);
    sqlite3_stmt* Prepare(const char* sql);
    void Close();
    // The query with its last word, when a prefix, as the whole words of the index it can become.
    void LookUpCompletions(struct IndexQuery& lookup);
    // The pages' words: a stored index's read from the book again, a few pages at once.
    std::vector<PageWords> WordsOf(const std::vector<int64_t>& ids);

    sqlite3* db_ = nullptr;
    std::unique_ptr<TQueryBound> bound_; // ends a query that runs too long or is stopped
    std::unique_ptr<TIndexTokenizer> tokenizer_; // uses db_, which is closed after it goes
    std::unique_ptr<TIndexTokenizer> queryWords_; // unstemmed: turns a query's terms into the index's words
    std::unique_ptr<TPagePreparer> preparer_; // made the first time a page comes unprepared
    sqlite3_stmt* insertWords_ = nullptr;
    sqlite3_stmt* completions_ = nullptr;
    sqlite3_stmt* select_ = nullptr;
    sqlite3_stmt* pageOf_ = nullptr; // a stored index's page name and title
    const TBookReader* reader_ = nullptr; // the book of a stored index
    std::unique_ptr<TStoredPlaces> places_; // a stored index's, when it keeps them
    TRepeatedText repeated_; // a stored index's
    bool inTransaction_ = false;
    std::vector<StoredPage> pages_; // page `id` at id - 1
    int64_t storedBytes_ = 0; // held by pages_' strings
};

// The snippet's text with its matched runs between `open` and `close`.
std::string MarkedSnippet(const std::vector<SnippetPiece>& snippet, std::string_view open, std::string_view close);
