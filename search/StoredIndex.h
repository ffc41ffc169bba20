#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class TBookReader;
struct sqlite3;

// A search index kept in the book: the SQLite database of the index, cut into chunks of
// kStoredIndexChunkBytes, each an entry of its own named kStoredIndexFolder plus its number in six
// digits ("/.search-index/v2/000000"), compressed like any page. The version is in the folder's
// name: a reader asks only for the version it knows, so an index of another version is never
// read, and older readers never ask for any.
inline constexpr std::string_view kStoredIndexFolder = "/.search-index/v2/";
inline constexpr std::size_t kStoredIndexChunkBytes = 64 * 1024;

// The entry names and contents that store the database image.
std::vector<std::pair<std::string, std::string>> StoredIndexEntries(std::string_view image);

// Whether an entry is a chunk of a stored index (of any version): not a page of the book.
bool IsStoredIndexEntry(std::string_view name);

// Opens the book's stored index read-only, in place: SQLite reads it through a file system of
// ours that inflates only the chunks a query touches (a few are kept inflated). Nothing when the
// book holds no index of this version; raises Exception when its first chunk cannot be read. The
// reader must outlive the connection. A chunk that cannot be inflated fails the statement reading
// it (SQLITE_IOERR). The index is the book author's data: the connection runs no trigger, view or
// extension it may hold, cannot change its schema, and takes no value over 1 MiB from it (each
// fails the statement); the caller checks its schema (SchemaOf) before anything else reads it.
sqlite3* OpenStoredIndex(const TBookReader& reader);

// One row of a database's schema (sqlite_master): type, name, table name and SQL.
using SchemaRow = std::array<std::string, 4>;
// The rows, ordered by name and type. Raises Exception when the schema cannot be read.
std::vector<SchemaRow> SchemaOf(sqlite3* db);
