#pragma once

#include <cstddef>
#include <vector>

struct sqlite3;
struct fts5_api;

// The connection's FTS5 interface; nothing when SQLite lacks FTS5.
fts5_api* Fts5Of(sqlite3* db);

// What the ranking functions need to know of a query: which of its terms each phrase of the
// expression stands for (a term may be looked up as several words, and the last one, while typed,
// as any one of the words it can become).
struct TQueryShape {
    // What a phrase stands for besides a term: two words of the query joined ("typing.Protocol"),
    // which counts for the rank only, or the filler that lets a page without them match.
    static constexpr int kJoinedWords = -1;
    static constexpr int kNoTerm = -2;

    int terms = 0;
    int queryWords = 0; // the words of the terms as a page's text would count them
    std::vector<int> termOfPhrase;
    // The first of the words the last term can become, -1 when it is looked up as typed.
    int firstAlternative = -1;
    // The first of them is the word as typed: rows holding it come before rows with only the others.
    bool typedWordFirst = false;
};

// The pointer type under which a TQueryShape is bound to a statement.
inline constexpr const char* kQueryShapeType = "ebook_query_shape";

// Registers the ranking functions of the words table, raising Exception on failure:
// title_missing(table, shape): how many of the query's terms the row's title lacks.
// headings_missing(table, shape): the same for the row's headings and defined terms.
// prefix_only(table, shape): 1 when the shape says the last term's first alternative is the word as
// typed and the row holds only longer words it begins, else 0.
// title_extra(table, shape): how many words the row's title holds beyond the query's own.
// book_rank(table, shape): BM25F over the columns, lower is better.
void RegisterRankFunctions(sqlite3* db);

// The columns of the words table: title, headings, body, then the body's words by how often they
// stand in it, then the headings' (PreparedPage.h).
inline constexpr int kTitleColumn = 0;
inline constexpr int kHeadingsColumn = 1;
inline constexpr int kBodyColumn = 2;
inline constexpr int kFirstTimesColumn = 3;
inline constexpr int kFirstHeadingTimesColumn = 9;
