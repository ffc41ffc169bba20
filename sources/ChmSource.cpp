#include "sources/ChmSource.h"

#include "book/BookFormat.h"
#include "common/BookText.h"
#include "common/Exception.h"
#include "html/PageKind.h"
#include "sources/HelpSitemap.h"
#include "sources/HomePage.h"

#include <chm_lib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <vector>

// The layout check bounds names by chmlib's own buffer.
static_assert(kMaxChmName == CHM_MAX_PATHLEN);

namespace {

// Files a help compiler keeps for itself.
bool IsInternal(const std::string& path)
{
    return path.starts_with("/#") || path.starts_with("/$") || path.starts_with("::") || path.ends_with("/");
}

int CollectPath(chmFile*, chmUnitInfo* unit, void* context)
{
    auto& paths = *static_cast<std::vector<std::string>*>(context);
    if (paths.size() >= 1000000)
        return CHM_ENUMERATOR_SUCCESS;
    const std::string path(unit->path, strnlen(unit->path, CHM_MAX_PATHLEN));
    if (!IsInternal(path))
        paths.push_back(path);
    return CHM_ENUMERATOR_CONTINUE;
}

// An archive path as the system file gives it ("index.htm", "/index.htm"), "/" first.
std::string ArchivePathOf(const std::string& path)
{
    return path.starts_with('/') ? path : "/" + path;
}

} // namespace

TChmSource::TChmSource(const std::string& fileName)
    : fileName_(fileName)
{
    if (std::error_code error; std::filesystem::file_size(fileName, error) == static_cast<std::uintmax_t>(-1))
        throw Exception("Cannot open file " + fileName + "\n" + error.message());
    layout_ = CheckChmLayout(fileName);
    file_ = chm_open(fileName.c_str());
    if (!file_)
        throw Exception("Cannot read " + fileName + " as a CHM file: its header or directory is damaged");

    std::vector<std::string> paths;
    chm_enumerate(file_, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES, CollectPath, &paths);
    std::vector<SourcePage> pages;
    pages.reserve(paths.size());
    for (const std::string& path : paths) {
        chmUnitInfo unit {};
        const uint64_t size = chm_resolve_object(file_, path.c_str(), &unit) == CHM_RESOLVE_SUCCESS ? unit.length : 0;
        pages.push_back({ StoredBookText(path), size, [this, path] { return ReadEntry(path); } });
    }
    SetPages(std::move(pages));

    system_ = ReadChmSystem(ReadOptional("/#SYSTEM"));
    if (!system_.contentsFile.empty())
        contents_ = ReadHelpSitemap(ReadOptional(ArchivePathOf(system_.contentsFile)));
    if (!system_.indexFile.empty())
        keywords_ = ReadHelpSitemap(ReadOptional(ArchivePathOf(system_.indexFile)));
    // Older compilers leave the sitemaps out of the system file: look for them by extension.
    for (const SourcePage& page : Pages()) {
        const std::string& name = page.pageName;
        if (contents_.empty() && name.ends_with(".hhc"))
            contents_ = ReadHelpSitemap(ReadOptional(name));
        if (keywords_.empty() && name.ends_with(".hhk"))
            keywords_ = ReadHelpSitemap(ReadOptional(name));
    }
}

TChmSource::~TChmSource()
{
    chm_close(file_);
}

std::string TChmSource::ReadEntry(const std::string& path) const
{
    const std::lock_guard lock(readLock_);
    chmUnitInfo unit {};
    if (chm_resolve_object(file_, path.c_str(), &unit) != CHM_RESOLVE_SUCCESS)
        throw Exception("No entry " + path + " in " + fileName_);
    if (!ChmEntryFits(layout_, unit.space, unit.start, unit.length)
        || unit.length > static_cast<uint64_t>(kMaxPageSize))
        throw Exception("Damaged entry " + path + " in " + fileName_ + ": it declares " + std::to_string(unit.length)
            + " bytes, more than the file can hold");
    std::string bytes(static_cast<std::size_t>(unit.length), '\0');
    if (unit.length == 0)
        return bytes;
    const LONGINT64 read = chm_retrieve_object(
        file_, &unit, reinterpret_cast<unsigned char*>(bytes.data()), 0, static_cast<LONGINT64>(unit.length));
    if (read != static_cast<LONGINT64>(unit.length))
        throw Exception("Damaged entry " + path + " in " + fileName_ + ": "
            + std::to_string(std::max<LONGINT64>(read, 0)) + " of its " + std::to_string(unit.length)
            + " bytes could be read");
    return bytes;
}

std::string TChmSource::ReadOptional(const std::string& path) const
{
    try {
        return ReadEntry(path);
    } catch (const Exception&) {
        return {};
    }
}

std::string TChmSource::Title() const
{
    const std::string title = BookTextToUtf8(system_.title);
    return title.empty() ? std::filesystem::path(fileName_).stem().string() : title;
}

std::string TChmSource::HomePageName() const
{
    if (!system_.homePage.empty()) {
        const std::string home = StoredBookText(ArchivePathOf(system_.homePage));
        if (IndexOf(home) >= 0)
            return Pages()[static_cast<std::size_t>(IndexOf(home))].pageName;
    }
    for (const std::string_view usual : kConventionalHomePages) {
        if (const int index = IndexOf(usual); index >= 0)
            return Pages()[static_cast<std::size_t>(index)].pageName;
    }
    for (const SourcePage& page : Pages()) {
        if (IsMarkupPage(page.pageName))
            return page.pageName;
    }
    return {};
}
