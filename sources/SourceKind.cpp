#include "sources/SourceKind.h"

#include "book/BookFormat.h"
#include "sources/EpubSource.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

constexpr std::string_view kChmSignature = "ITSF";
// The ZIM magic number 72173914, little-endian.
constexpr std::string_view kZimSignature = "ZIM\x04";
// A zip archive's first local file header, or the end of an empty archive's directory.
constexpr std::string_view kZipSignature = "PK\x03\x04";
constexpr std::string_view kEmptyZipSignature = "PK\x05\x06";

std::string FirstBytes(const std::string& fileName, std::size_t count)
{
    std::ifstream file(fileName, std::ios::binary);
    std::string bytes(count, '\0');
    file.read(bytes.data(), static_cast<std::streamsize>(count));
    bytes.resize(static_cast<std::size_t>(std::max<std::streamsize>(file.gcount(), 0)));
    return bytes;
}

uint32_t LittleEndian32(const unsigned char* bytes)
{
    return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (uint32_t(bytes[3]) << 24);
}

// Whether the zip archive's first entries are those of an EPUB: "mimetype" holding
// "application/epub+zip" (when stored as it is), or META-INF/container.xml, which some converters
// write first. Read from the local headers at the start alone, so that it still tells when the
// archive's directory at the end is damaged or missing.
bool BeginsAsEpub(const std::string& fileName)
{
    constexpr std::size_t kLocalHeader = 30;
    constexpr std::size_t kLooked = 1024 * 1024;
    constexpr std::string_view kType = "application/epub+zip";
    const std::string start = FirstBytes(fileName, kLooked);
    for (std::size_t at = start.find(kZipSignature); at != std::string::npos && at + kLocalHeader <= start.size();
         at = start.find(kZipSignature, at + 1)) {
        const auto* header = reinterpret_cast<const unsigned char*>(start.data() + at);
        const std::size_t nameLength = header[26] | (header[27] << 8);
        const std::size_t extraLength = header[28] | (header[29] << 8);
        const std::string_view name = std::string_view(start).substr(at + kLocalHeader, nameLength);
        if (name == "META-INF/container.xml")
            return true;
        if (name == "mimetype") {
            const bool stored = (header[8] | (header[9] << 8)) == 0;
            return !stored || start.compare(at + kLocalHeader + nameLength + extraLength, kType.size(), kType) == 0;
        }
    }
    return false;
}

// Whether the last bytes of the file hold the record that ends a zip archive's directory.
bool HasZipDirectoryEnd(const std::string& fileName)
{
    // The record is 22 bytes, followed by a comment of at most 65535.
    constexpr std::streamoff kLongest = 22 + 65535;
    std::ifstream file(fileName, std::ios::binary | std::ios::ate);
    const std::streamoff size = file.tellg();
    const std::streamoff from = std::max<std::streamoff>(0, size - kLongest);
    std::string tail(static_cast<std::size_t>(size - from), '\0');
    file.seekg(from);
    file.read(tail.data(), static_cast<std::streamsize>(tail.size()));
    return tail.find(kEmptyZipSignature) != std::string::npos;
}

// What is wrong with an EPUB whose zip archive cannot be read, as a reader can act on it;
// `failure` is what the zip reader said.
std::string EpubDamage(const std::string& fileName, const std::string& failure)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(fileName, error);
    const std::string bytes = error ? std::string() : " (" + std::to_string(size) + " bytes)";
    if (!HasZipDirectoryEnd(fileName))
        return "the file is cut short" + bytes
            + ": the directory of its entries, which ends a zip archive, is missing; download or copy it again";
    return "its zip archive cannot be read" + bytes + ": " + failure;
}

} // namespace

bool HasBookTrailer(const std::string& fileName)
{
    std::ifstream file(fileName, std::ios::binary | std::ios::ate);
    if (!file)
        return false;
    const std::streamoff size = file.tellg();
    if (size < kTrailerSize + 4 + static_cast<std::streamoff>(kBookMagic.size()))
        return false;
    std::array<unsigned char, 4> trailer {};
    file.seekg(size - kTrailerSize);
    file.read(reinterpret_cast<char*>(trailer.data()), kTrailerSize);
    const uint32_t offset = LittleEndian32(trailer.data());
    if (offset >= static_cast<uint64_t>(size - kTrailerSize))
        return false;
    // The header opens with the magic as a counted string: its length in 4 bytes, then the text.
    std::string header(4 + kBookMagic.size(), '\0');
    file.seekg(static_cast<std::streamoff>(offset));
    file.read(header.data(), static_cast<std::streamsize>(header.size()));
    return file && LittleEndian32(reinterpret_cast<const unsigned char*>(header.data())) == kBookMagic.size()
        && header.substr(4) == kBookMagic;
}

std::optional<ESourceKind> DetectSourceKind(const std::string& path)
{
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        return ESourceKind::Folder;
    if (!std::filesystem::is_regular_file(path, error))
        return std::nullopt;
    if (HasBookTrailer(path))
        return ESourceKind::Book;
    const std::string start = FirstBytes(path, 4);
    if (start == kChmSignature)
        return ESourceKind::Chm;
    if (start == kZimSignature)
        return ESourceKind::Zim;
    try {
        if (IsEpubFile(path))
            return ESourceKind::Epub;
    } catch (const std::exception&) {
        // A damaged zip is no EPUB this reader can open.
    }
    return std::nullopt;
}

std::optional<std::string> NotABookHint(const std::string& fileName)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(fileName, error))
        return std::nullopt;
    const std::string start = FirstBytes(fileName, 4);
    if (start != kZipSignature && start != kEmptyZipSignature)
        return std::nullopt;
    try {
        if (IsEpubFile(fileName))
            return std::nullopt; // read in place, as every EPUB is
    } catch (const std::exception& failure) {
        // A damaged EPUB says so; any other damaged zip gets the zip's hint.
        if (BeginsAsEpub(fileName))
            return fileName + " is a damaged EPUB: " + EpubDamage(fileName, failure.what());
    }
    return fileName
        + " is a zip archive; unpack it and make a book of the folder with: ebook-pack build FOLDER -o BOOK";
}

std::string_view SourceKindName(ESourceKind kind)
{
    switch (kind) {
    case ESourceKind::Book:
        return "book";
    case ESourceKind::Epub:
        return "EPUB";
    case ESourceKind::Chm:
        return "CHM";
    case ESourceKind::Zim:
        return "ZIM";
    case ESourceKind::Folder:
        return "folder";
    }
    return "unknown";
}
