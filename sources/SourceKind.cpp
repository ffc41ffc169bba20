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
    } catch (const std::exception&) {
        // A damaged zip gets the zip's hint.
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
