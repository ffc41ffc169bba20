#include "search/StoredIndex.h"

#include "book/BookReader.h"
#include "common/Exception.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

namespace {

constexpr const char* kVfsName = "ebook-book-index";
constexpr std::size_t kChunksKept = 8;
// The longest string or blob a stored index may hand out: its names, titles, breadcrumbs and the
// blocks of its word index are far shorter.
constexpr int kMostValueBytes = 1 << 20;
// The longest statement SQLite takes from the index's schema (or from us).
constexpr int kMostStatementBytes = 64 * 1024;

std::string ChunkName(std::size_t number)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, "%06zu", number);
    return std::string(kStoredIndexFolder) + digits;
}

// The chunks of one book's index, as the file SQLite reads.
struct IndexFile {
    sqlite3_file base; // first: SQLite sees an IndexFile as its sqlite3_file
    const TBookReader* reader;
    std::vector<int>* entries; // each chunk's directory entry
    int64_t size;
    std::vector<std::pair<int, std::string>>* kept; // chunks inflated, newest last
};

// Books being opened: the file name SQLite is given names one of them.
std::mutex openingLock;
std::map<std::string, std::pair<const TBookReader*, std::vector<int>>> opening;

const std::string* Chunk(IndexFile& file, int chunk)
{
    auto& kept = *file.kept;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (kept[i].first == chunk) {
            std::rotate(kept.begin() + static_cast<std::ptrdiff_t>(i),
                kept.begin() + static_cast<std::ptrdiff_t>(i) + 1, kept.end());
            return &kept.back().second;
        }
    }
    std::string bytes;
    if (!file.reader->ExtractPageAtConcurrently((*file.entries)[static_cast<std::size_t>(chunk)], bytes))
        return nullptr;
    if (bytes.size() != kStoredIndexChunkBytes && chunk + 1 != static_cast<int>(file.entries->size()))
        return nullptr; // only the last chunk may be short
    if (kept.size() == kChunksKept)
        kept.erase(kept.begin());
    kept.emplace_back(chunk, std::move(bytes));
    return &kept.back().second;
}

int Close(sqlite3_file* base)
{
    auto* file = reinterpret_cast<IndexFile*>(base);
    delete file->entries;
    delete file->kept;
    return SQLITE_OK;
}

int Read(sqlite3_file* base, void* out, int amount, sqlite3_int64 offset)
{
    auto* file = reinterpret_cast<IndexFile*>(base);
    auto* to = static_cast<char*>(out);
    int done = 0;
    while (done < amount && offset + done < file->size) {
        const auto at = static_cast<uint64_t>(offset + done);
        const auto chunk = static_cast<int>(at / kStoredIndexChunkBytes);
        const std::string* bytes = Chunk(*file, chunk);
        if (bytes == nullptr)
            return SQLITE_IOERR_READ;
        const std::size_t within = at % kStoredIndexChunkBytes;
        if (within >= bytes->size())
            return SQLITE_IOERR_READ;
        const std::size_t take = std::min<std::size_t>(bytes->size() - within, static_cast<std::size_t>(amount - done));
        std::memcpy(to + done, bytes->data() + within, take);
        done += static_cast<int>(take);
    }
    if (done < amount) {
        std::memset(to + done, 0, static_cast<std::size_t>(amount - done));
        return SQLITE_IOERR_SHORT_READ;
    }
    return SQLITE_OK;
}

int Write(sqlite3_file*, const void*, int, sqlite3_int64)
{
    return SQLITE_READONLY;
}

int Truncate(sqlite3_file*, sqlite3_int64)
{
    return SQLITE_READONLY;
}

int Sync(sqlite3_file*, int)
{
    return SQLITE_OK;
}

int FileSize(sqlite3_file* base, sqlite3_int64* size)
{
    *size = reinterpret_cast<IndexFile*>(base)->size;
    return SQLITE_OK;
}

int Lock(sqlite3_file*, int)
{
    return SQLITE_OK;
}

int CheckReservedLock(sqlite3_file*, int* reserved)
{
    *reserved = 0;
    return SQLITE_OK;
}

int FileControl(sqlite3_file*, int, void*)
{
    return SQLITE_NOTFOUND;
}

int SectorSize(sqlite3_file*)
{
    return 4096;
}

int DeviceCharacteristics(sqlite3_file*)
{
    return SQLITE_IOCAP_IMMUTABLE;
}

const sqlite3_io_methods kMethods = { 1, Close, Read, Write, Truncate, Sync, FileSize, Lock, Lock, CheckReservedLock,
    FileControl, SectorSize, DeviceCharacteristics, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr };

int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* base, int flags, int* outFlags)
{
    base->pMethods = nullptr;
    if (name == nullptr || (flags & SQLITE_OPEN_MAIN_DB) == 0)
        return SQLITE_CANTOPEN;
    std::lock_guard guard(openingLock);
    const auto found = opening.find(name);
    if (found == opening.end())
        return SQLITE_CANTOPEN;
    auto* file = reinterpret_cast<IndexFile*>(base);
    file->reader = found->second.first;
    file->entries = new std::vector<int>(found->second.second);
    file->kept = new std::vector<std::pair<int, std::string>>();
    file->size = 0;
    for (const int entry : *file->entries)
        file->size += file->reader->InflatedSizeAt(entry);
    base->pMethods = &kMethods;
    if (outFlags != nullptr)
        *outFlags = SQLITE_OPEN_READONLY;
    return SQLITE_OK;
}

int Delete(sqlite3_vfs*, const char*, int)
{
    return SQLITE_READONLY;
}

int Access(sqlite3_vfs*, const char*, int, int* result)
{
    *result = 0; // no journal, no write-ahead log: nothing but the database exists
    return SQLITE_OK;
}

int FullPathname(sqlite3_vfs*, const char* name, int size, char* out)
{
    sqlite3_snprintf(size, out, "%s", name);
    return SQLITE_OK;
}

sqlite3_vfs* IndexVfs()
{
    static sqlite3_vfs vfs = [] {
        sqlite3_vfs* system = sqlite3_vfs_find(nullptr);
        sqlite3_vfs made = *system;
        made.iVersion = 1;
        made.szOsFile = sizeof(IndexFile);
        made.mxPathname = 256;
        made.pNext = nullptr;
        made.zName = kVfsName;
        made.pAppData = nullptr;
        made.xOpen = Open;
        made.xDelete = Delete;
        made.xAccess = Access;
        made.xFullPathname = FullPathname;
        made.xDlOpen = nullptr;
        made.xDlError = nullptr;
        made.xDlSym = nullptr;
        made.xDlClose = nullptr;
        made.xRandomness = system->xRandomness;
        made.xSleep = system->xSleep;
        made.xCurrentTime = system->xCurrentTime;
        made.xGetLastError = system->xGetLastError;
        sqlite3_vfs_register(&made, 0);
        return made;
    }();
    return &vfs;
}

// The database is the book author's data: the connection runs nothing it holds but tables (no
// triggers, no views, no extensions), refuses writes to its schema, and no value or statement it
// reads may be longer than ours ever are.
bool Harden(sqlite3* db)
{
    const std::pair<int, int> settings[] = { { SQLITE_DBCONFIG_DEFENSIVE, 1 }, { SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0 },
        { SQLITE_DBCONFIG_ENABLE_TRIGGER, 0 }, { SQLITE_DBCONFIG_ENABLE_VIEW, 0 },
        { SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0 } };
    for (const auto& [option, value] : settings) {
        if (sqlite3_db_config(db, option, value, nullptr) != SQLITE_OK)
            return false;
    }
    sqlite3_limit(db, SQLITE_LIMIT_LENGTH, kMostValueBytes);
    sqlite3_limit(db, SQLITE_LIMIT_SQL_LENGTH, kMostStatementBytes);
    sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0);
    sqlite3_limit(db, SQLITE_LIMIT_EXPR_DEPTH, 100);
    sqlite3_limit(db, SQLITE_LIMIT_COMPOUND_SELECT, 2);
    sqlite3_limit(db, SQLITE_LIMIT_TRIGGER_DEPTH, 1);
    // A page whose cells overlap is damage found before it is followed.
    return sqlite3_exec(db, "PRAGMA cell_size_check = ON", nullptr, nullptr, nullptr) == SQLITE_OK;
}

} // namespace

std::vector<SchemaRow> SchemaOf(sqlite3* db)
{
    std::vector<SchemaRow> rows;
    sqlite3_stmt* statement = nullptr;
    int step = sqlite3_prepare_v2(
        db, "SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY name, type", -1, &statement, nullptr);
    if (step == SQLITE_OK) {
        while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
            SchemaRow& row = rows.emplace_back();
            for (int column = 0; column < 4; ++column) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
                row[static_cast<std::size_t>(column)].assign(
                    text != nullptr ? text : "", static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
            }
        }
    }
    sqlite3_finalize(statement);
    if (step != SQLITE_DONE)
        throw Exception("The book's search index is damaged: " + std::string(sqlite3_errmsg(db)));
    return rows;
}

std::vector<std::pair<std::string, std::string>> StoredIndexEntries(std::string_view image)
{
    std::vector<std::pair<std::string, std::string>> entries;
    for (std::size_t at = 0; at < image.size(); at += kStoredIndexChunkBytes)
        entries.emplace_back(ChunkName(entries.size()), std::string(image.substr(at, kStoredIndexChunkBytes)));
    return entries;
}

bool IsStoredIndexEntry(std::string_view name)
{
    return name.starts_with("/.search-index/");
}

sqlite3* OpenStoredIndex(const TBookReader& reader)
{
    std::vector<int> entries;
    for (std::size_t number = 0;; ++number) {
        const int entry = reader.IndexOfPage(ChunkName(number));
        if (entry < 0)
            break;
        entries.push_back(entry);
    }
    if (entries.empty())
        return nullptr;
    sqlite3_vfs* vfs = IndexVfs();
    static std::atomic<unsigned> opened { 0 };
    char name[64];
    std::snprintf(name, sizeof name, "ebook-index-%u", opened.fetch_add(1));
    {
        std::lock_guard guard(openingLock);
        opening[name] = { &reader, std::move(entries) };
    }
    sqlite3* db = nullptr;
    const int result = sqlite3_open_v2(name, &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, vfs->zName);
    {
        std::lock_guard guard(openingLock);
        opening.erase(name);
    }
    if (result != SQLITE_OK) {
        sqlite3_close(db);
        throw Exception("The book's search index is damaged: its header cannot be read");
    }
    if (!Harden(db)) {
        const std::string why = sqlite3_errmsg(db);
        sqlite3_close(db);
        throw Exception("The book's search index cannot be opened safely: " + why);
    }
    return db;
}
