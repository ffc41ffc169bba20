#pragma once

#include <cstddef>
#include <queue>

struct sqlite3;
struct fts5_api;

// The connection's FTS5 interface; nothing when SQLite lacks FTS5.
fts5_api* Fts5Of(sqlite3* db);

// The lowest ranks seen so far in one pass over a query's matches: a row that cannot be among the
// first `wanted` of them is not shown, so its best place is not worked out.
class TRankCutoff {
public:
    explicit TRankCutoff(std::size_t wanted)
        : wanted_(wanted)
    {
    }
    // Whether a row of this rank (lower is better) may still be among the wanted; noted when so.
    bool Admit(double rank);

private:
    std::size_t wanted_;
    std::priority_queue<double> lowest_; // at most wanted_, the highest of them on top
};

// The pointer type under which a TRankCutoff is bound to a statement.
inline constexpr const char* kRankCutoffType = "ebook_rank_cutoff";

// Registers two functions of the words table, raising Exception on failure:
// best_place(table[, rank, cutoff]): for the current row, the token number in the body column
// where the snippet should start: the first place where the most of the query's phrases stand
// within a few words of each other; 0 when the body holds none of them. Given a rank and a
// TRankCutoff (bound with kRankCutoffType), NULL for a row the cutoff does not admit.
// title_missing(table, terms): how many of the query's `terms` the row's title lacks (phrase i
// is term i; phrases past the last term are the other words that term can become).
// headings_missing(table, terms): the same for the row's headings and defined terms.
// prefix_only(table, terms, exactFirst): 1 when `exactFirst` says the last term's first phrase is
// the word as typed and the row holds only longer words it begins, else 0.
void RegisterRankFunctions(sqlite3* db);

// Matches closer than this many tokens count as one place.
inline constexpr int kPlaceTokens = 12;
// The columns of the words table: title, headings, body.
inline constexpr int kTitleColumn = 0;
inline constexpr int kHeadingsColumn = 1;
inline constexpr int kBodyColumn = 2;
