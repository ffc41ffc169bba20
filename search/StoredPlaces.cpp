#include "search/StoredPlaces.h"

#include "common/DisplayText.h"
#include "common/Exception.h"
#include "search/ContentsPlaces.h"
#include "search/SearchIndex.h"

#include <nlohmann/json.hpp>
#include <sqlite3.h>

namespace {

[[noreturn]] void RaiseDamaged(sqlite3* db)
{
    throw Exception("The book's search index is damaged: " + std::string(sqlite3_errmsg(db)));
}

std::string ColumnText(sqlite3_stmt* row, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(row, column));
    return std::string(text != nullptr ? text : "", static_cast<std::size_t>(sqlite3_column_bytes(row, column)));
}

} // namespace

void WriteStoredPlaces(sqlite3* db, const std::vector<std::string>& names, const TContentsPlaces& places)
{
    // The breadcrumb is a JSON array of the titles, top first: any title can be kept as it is.
    if (sqlite3_exec(
            db, "CREATE TABLE places(id INTEGER PRIMARY KEY, entry TEXT, breadcrumb TEXT)", nullptr, nullptr, nullptr)
        != SQLITE_OK)
        throw Exception(std::string("Search index: ") + sqlite3_errmsg(db));
    sqlite3_stmt* insert = nullptr;
    if (sqlite3_prepare_v2(db, "INSERT INTO places(id, entry, breadcrumb) VALUES(?1, ?2, ?3)", -1, &insert, nullptr)
        != SQLITE_OK)
        throw Exception(std::string("Search index: ") + sqlite3_errmsg(db));
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::vector<std::string>& breadcrumb = places.Breadcrumb(names[i]);
        const std::string entry = places.EntryTitle(names[i]);
        if (breadcrumb.empty() && entry.empty())
            continue;
        const std::string crumbs
            = nlohmann::json(breadcrumb).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        sqlite3_bind_int64(insert, 1, static_cast<int64_t>(i) + 1);
        sqlite3_bind_text64(insert, 2, entry.data(), entry.size(), SQLITE_STATIC, SQLITE_UTF8);
        sqlite3_bind_text64(insert, 3, crumbs.data(), crumbs.size(), SQLITE_STATIC, SQLITE_UTF8);
        const int step = sqlite3_step(insert);
        sqlite3_reset(insert);
        if (step != SQLITE_DONE) {
            sqlite3_finalize(insert);
            throw Exception(std::string("Search index: ") + sqlite3_errmsg(db));
        }
    }
    sqlite3_finalize(insert);
}

std::unique_ptr<TStoredPlaces> TStoredPlaces::Open(sqlite3* db)
{
    sqlite3_stmt* row = nullptr;
    const int prepared = sqlite3_prepare_v3(
        db, "SELECT entry, breadcrumb FROM places WHERE id = ?1", -1, SQLITE_PREPARE_PERSISTENT, &row, nullptr);
    if (prepared == SQLITE_OK)
        return std::unique_ptr<TStoredPlaces>(new TStoredPlaces(row));
    sqlite3_finalize(row);
    // An index stored without the table: the statement names a table the schema lacks.
    if (prepared == SQLITE_ERROR)
        return nullptr;
    RaiseDamaged(db);
}

TStoredPlaces::TStoredPlaces(sqlite3_stmt* row)
    : row_(row)
{
}

TStoredPlaces::~TStoredPlaces()
{
    sqlite3_finalize(row_);
}

void TStoredPlaces::Place(int64_t id, SearchHit& hit)
{
    sqlite3_bind_int64(row_, 1, id);
    const int step = sqlite3_step(row_);
    std::string entry;
    std::string crumbs;
    if (step == SQLITE_ROW) {
        entry = ColumnText(row_, 0);
        crumbs = ColumnText(row_, 1);
    }
    sqlite3_reset(row_);
    if (step == SQLITE_DONE)
        return; // a page the contents do not name
    if (step != SQLITE_ROW)
        RaiseDamaged(sqlite3_db_handle(row_));
    const nlohmann::json titles = nlohmann::json::parse(crumbs, nullptr, false);
    if (!titles.is_array())
        throw Exception("The book's search index is damaged: a breadcrumb is not a list");
    std::vector<std::string> breadcrumb;
    for (const nlohmann::json& title : titles) {
        if (title.is_string())
            breadcrumb.push_back(title.get<std::string>());
    }
    // An index written by another tool may hold any breadcrumb: one as short as this one writes.
    PlaceHit(hit, BoundedBreadcrumb(breadcrumb), CutText(entry));
}
