#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;
struct SearchHit;
class TContentsPlaces;

// Where each page sits in the book's contents, kept in a stored index beside its pages (the
// `places` table), so that a query's hits get their breadcrumbs without the contents being read.
// Only pages whose place changes a hit have a row.

// Writes the table into the index being stored: `names` are the pages' names, page `id` at id - 1.
// Raises Exception on failure.
void WriteStoredPlaces(sqlite3* db, const std::vector<std::string>& names, const TContentsPlaces& places);

// The table of a stored index, read a row per hit.
class TStoredPlaces {
public:
    // Nothing when the index has no such table (it was stored without contents). Raises Exception
    // when the index cannot be read.
    static std::unique_ptr<TStoredPlaces> Open(sqlite3* db);
    ~TStoredPlaces();
    TStoredPlaces(const TStoredPlaces&) = delete;
    TStoredPlaces& operator=(const TStoredPlaces&) = delete;

    // As TContentsPlaces::Place does for page `id`. Raises Exception when the row cannot be read.
    void Place(int64_t id, SearchHit& hit);

private:
    explicit TStoredPlaces(sqlite3_stmt* row);

    sqlite3_stmt* row_;
};
