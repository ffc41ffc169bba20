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

// Registers best_place(table[, rank, cutoff]): for the current row, the token number in the body
// column where the snippet should start: the first place where the most of the query's phrases
// stand within a few words of each other; 0 when the body holds none of them. Given a rank and a
// TRankCutoff (bound with kRankCutoffType), NULL for a row the cutoff does not admit. Raises
// Exception on failure.
void RegisterBestPlace(sqlite3* db);

// Matches closer than this many tokens count as one place.
inline constexpr int kPlaceTokens = 12;
// The body is the second column of the words table.
inline constexpr int kBodyColumn = 1;
