#include "sources/ZipArchive.h"

#include "common/Exception.h"

#include <fstream>
#include <zip.h>

namespace {

// Why a stored name cannot become a file of the book, or empty.
std::string UnsafeNameReason(const std::string& name)
{
    if (name.empty())
        return "an empty name";
    if (name.front() == '/')
        return "an absolute name";
    if (name.find('\\') != std::string::npos)
        return "a backslash in the name";
    if (name.find('\0') != std::string::npos)
        return "a NUL in the name";
    std::size_t start = 0;
    while (start <= name.size()) {
        const std::size_t end = std::min(name.find('/', start), name.size());
        if (name.compare(start, end - start, "..") == 0)
            return "a \"..\" step that climbs out of the archive";
        start = end + 1;
    }
    return {};
}

// The name without "." steps and empty steps ("./a.html", "OEBPS//b.html" and "OEBPS/./c.html"
// are "a.html", "OEBPS/b.html" and "OEBPS/c.html"): the name every link to the entry resolves to.
std::string NormalName(const std::string& name)
{
    std::string normal;
    std::size_t start = 0;
    while (start <= name.size()) {
        const std::size_t end = std::min(name.find('/', start), name.size());
        const std::string_view step = std::string_view(name).substr(start, end - start);
        if (!step.empty() && step != ".") {
            if (!normal.empty())
                normal += '/';
            normal += step;
        }
        start = end + 1;
    }
    return normal;
}

std::string ZipErrorText(int code)
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

} // namespace

TZipArchive::TZipArchive(const std::string& fileName)
    : fileName_(fileName)
{
    int code = 0;
    archive_ = zip_open(fileName.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (archive_ == nullptr)
        throw Exception("Cannot open " + fileName + " as a zip archive: " + ZipErrorText(code));
    const zip_int64_t count = zip_get_num_entries(archive_, 0);
    if (count < 0 || static_cast<uint64_t>(count) > kMaxEntries) {
        zip_discard(archive_);
        throw Exception("Cannot open " + fileName + ": it holds " + std::to_string(count) + " entries, more than the "
            + std::to_string(kMaxEntries) + " an archive may hold here");
    }
    uint64_t total = 0;
    try {
        for (zip_int64_t i = 0; i < count; ++i) {
            zip_stat_t stat;
            if (zip_stat_index(archive_, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS, &stat) != 0)
                throw Exception(
                    "Cannot read entry " + std::to_string(i) + " of " + fileName + ": " + zip_strerror(archive_));
            std::string name = stat.name != nullptr ? stat.name : "";
            if (name.ends_with('/'))
                continue; // a folder
            if (const std::string reason = UnsafeNameReason(name); !reason.empty())
                throw Exception("Refusing " + fileName + ": entry '" + name + "' has " + reason);
            if (stat.size > kMaxEntrySize)
                throw Exception("Refusing " + fileName + ": entry " + name + " inflates to " + std::to_string(stat.size)
                    + " bytes, more than the " + std::to_string(kMaxEntrySize) + " a page may hold");
            total += stat.size;
            if (total > kMaxTotalSize)
                throw Exception("Refusing " + fileName + ": its entries inflate to more than "
                    + std::to_string(kMaxTotalSize) + " bytes, more than a book may hold");
            std::string normal = NormalName(name);
            if (normal.empty())
                throw Exception("Refusing " + fileName + ": entry '" + name + "' names no file");
            if (!byName_.emplace(normal, static_cast<int>(entries_.size())).second)
                throw Exception("Refusing " + fileName + ": entries '"
                    + entries_[static_cast<std::size_t>(byName_[normal])].stored + "' and '" + name + "' both name "
                    + normal);
            entries_.push_back({ std::move(normal), stat.size, std::move(name) });
            indices_.push_back(static_cast<uint64_t>(i));
        }
    } catch (...) {
        zip_discard(archive_);
        throw;
    }
}

TZipArchive::~TZipArchive()
{
    zip_discard(archive_);
}

int TZipArchive::Find(const std::string& name) const
{
    const auto found = byName_.find(name);
    return found == byName_.end() ? -1 : found->second;
}

std::string TZipArchive::Read(int index) const
{
    const Entry& entry = entries_.at(static_cast<std::size_t>(index));
    const std::lock_guard lock(readLock_);
    zip_file_t* file = zip_fopen_index(archive_, indices_[static_cast<std::size_t>(index)], 0);
    if (file == nullptr)
        throw Exception("Cannot read " + entry.name + " in " + fileName_ + ": " + zip_strerror(archive_));
    // One byte more than declared shows an entry that lies about its size; it is not read further.
    std::string content(static_cast<std::size_t>(entry.size) + 1, '\0');
    uint64_t got = 0;
    while (got < content.size()) {
        const zip_int64_t read = zip_fread(file, content.data() + got, content.size() - got);
        if (read < 0) {
            const std::string reason = zip_error_strerror(zip_file_get_error(file));
            zip_fclose(file);
            throw Exception("Cannot read " + entry.name + " in " + fileName_ + ": " + reason);
        }
        if (read == 0)
            break;
        got += static_cast<uint64_t>(read);
    }
    zip_fclose(file);
    if (got != entry.size)
        throw Exception("Refusing " + fileName_ + ": entry " + entry.name + " inflates to "
            + (got > entry.size ? "more" : "fewer") + " bytes than the " + std::to_string(entry.size) + " it declares");
    content.resize(static_cast<std::size_t>(got));
    return content;
}

bool LooksLikeZip(const std::string& fileName)
{
    std::ifstream file(fileName, std::ios::binary);
    char magic[4] = {};
    file.read(magic, sizeof magic);
    return file.gcount() == 4 && std::string_view(magic, 4) == std::string_view("PK\x03\x04", 4);
}
