#pragma once

struct sqlite3;
struct fts5_api;

// The connection's FTS5 interface; nothing when SQLite lacks FTS5.
fts5_api* Fts5Of(sqlite3* db);

// Registers best_place(table): for the current row, the token number in the body column where
// the snippet should start: the first place where the most of the query's phrases stand within a
// few words of each other; 0 when the body holds none of them. Raises Exception on failure.
void RegisterBestPlace(sqlite3* db);

// Matches closer than this many tokens count as one place.
inline constexpr int kPlaceTokens = 12;
// The body is the second column of the words table.
inline constexpr int kBodyColumn = 1;
