#include "sources/ChmSource.h"

#include "book/BookFormat.h"
#include "common/BookText.h"
#include "common/Exception.h"
#include "sources/HelpSitemap.h"

#include <chm_lib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

// A compressed entry inflates at most this many times its file's size: LZX cannot do better by
// much, and a claim beyond it is a damaged or hostile directory.
constexpr uint64_t kMaxInflation = 1024;

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

uint64_t LittleEndian(const std::string& bytes, std::size_t at, std::size_t count)
{
    uint64_t value = 0;
    for (std::size_t i = 0; i < count; ++i)
        value |= uint64_t { static_cast<unsigned char>(bytes[at + i]) } << (8 * i);
    return value;
}

// chmlib allocates the directory's block size and trusts the header's offsets before anything can
// be checked through it: the headers are checked against the file first. The file header (ITSF)
// gives the directory's offset and length at 0x48 and 0x50; the directory header (ITSP) there
// gives its block size at 0x10, its first listing block at 0x20 and its block count at 0x2C.
void CheckChmHeaders(const std::string& fileName, uint64_t fileSize)
{
    constexpr uint64_t kMaxBlock = 1024 * 1024;
    std::ifstream file(fileName, std::ios::binary);
    std::string header(0x58, '\0');
    file.read(header.data(), static_cast<std::streamsize>(header.size()));
    const auto refuse
        = [&](const std::string& why) { throw Exception("Cannot read " + fileName + " as a CHM file: " + why); };
    if (!file || !header.starts_with("ITSF"))
        refuse("its file header is cut short");
    const uint64_t directory = LittleEndian(header, 0x48, 8);
    const uint64_t length = LittleEndian(header, 0x50, 8);
    if (directory > fileSize || length > fileSize - directory || length < 0x54)
        refuse("its directory lies beyond the end of the file");
    std::string itsp(0x54, '\0');
    file.seekg(static_cast<std::streamoff>(directory));
    file.read(itsp.data(), static_cast<std::streamsize>(itsp.size()));
    if (!file || !itsp.starts_with("ITSP"))
        refuse("its directory header is damaged");
    const uint64_t block = LittleEndian(itsp, 0x10, 4);
    if (block == 0 || block > kMaxBlock || block > length)
        refuse("its directory declares blocks of " + std::to_string(block) + " bytes");
    // chmlib lists the files by following each listing block's "next" field from the first one: a
    // chain that leaves the directory or comes back on itself would never end.
    const uint64_t headerLength = LittleEndian(itsp, 0x08, 4);
    const auto first = static_cast<int32_t>(LittleEndian(itsp, 0x20, 4));
    const uint64_t blocks = LittleEndian(itsp, 0x2C, 4);
    if (headerLength > length || blocks > (length - headerLength) / block)
        refuse("its directory declares more blocks than it holds");
    uint64_t walked = 0;
    for (int32_t next = first; next != -1; ++walked) {
        if (next < 0 || static_cast<uint64_t>(next) >= blocks || walked >= blocks)
            refuse("its directory's blocks do not form a list");
        std::string listing(0x14, '\0');
        file.seekg(static_cast<std::streamoff>(directory + headerLength + static_cast<uint64_t>(next) * block));
        file.read(listing.data(), static_cast<std::streamsize>(listing.size()));
        if (!file || !listing.starts_with("PMGL"))
            refuse("its directory's block " + std::to_string(next) + " is damaged");
        next = static_cast<int32_t>(LittleEndian(listing, 0x10, 4));
    }
}

} // namespace

TChmSource::TChmSource(const std::string& fileName)
    : fileName_(fileName)
{
    std::error_code error;
    fileSize_ = std::filesystem::file_size(fileName, error);
    if (error)
        throw Exception("Cannot open file " + fileName + "\n" + error.message());
    CheckChmHeaders(fileName, fileSize_);
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
    const bool compressed = unit.space == CHM_COMPRESSED;
    const bool fits = compressed ? unit.length <= fileSize_ * kMaxInflation
                                 : unit.start <= fileSize_ && unit.length <= fileSize_ - unit.start;
    if (!fits || unit.length > static_cast<uint64_t>(kMaxPageSize))
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
    for (const char* usual : { "/index.html", "/index.htm", "/default.html", "/default.htm" }) {
        if (const int index = IndexOf(usual); index >= 0)
            return Pages()[static_cast<std::size_t>(index)].pageName;
    }
    for (const SourcePage& page : Pages()) {
        if (page.pageName.ends_with(".htm") || page.pageName.ends_with(".html"))
            return page.pageName;
    }
    return {};
}
