#include "sources/FileKind.h"

#include "common/Exception.h"
#include "sources/EpubSource.h"

#include <filesystem>
#include <fstream>

namespace {

bool StartsWith(std::string_view bytes, std::string_view magic)
{
    return bytes.substr(0, magic.size()) == magic;
}

} // namespace

TFileKind KindOfFile(const std::string& fileName)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(fileName, error))
        return TFileKind::Other;
    std::ifstream file(fileName, std::ios::binary);
    char start[4] = {};
    file.read(start, sizeof start);
    const std::string_view bytes(start, static_cast<std::size_t>(file.gcount()));
    if (StartsWith(bytes, "ITSF"))
        return TFileKind::Chm;
    if (StartsWith(bytes, std::string_view("ZIM\x04", 4)))
        return TFileKind::Zim;
    if (StartsWith(bytes, std::string_view("PK\x03\x04", 4)) || StartsWith(bytes, std::string_view("PK\x05\x06", 4))) {
        try {
            return IsEpubFile(fileName) ? TFileKind::Epub : TFileKind::Zip;
        } catch (const Exception&) {
            return TFileKind::Zip;
        }
    }
    return TFileKind::Other;
}

std::optional<std::string> NotABookHint(const std::string& fileName)
{
    switch (KindOfFile(fileName)) {
    case TFileKind::Epub:
        return fileName + " is an EPUB; make a book of it with: ebook-pack build " + fileName + " -o BOOK";
    case TFileKind::Chm:
        return fileName
            + " is a CHM (compiled help); unpack it (extract_chmLib FILE FOLDER) and make a book of the folder with: "
              "ebook-pack build FOLDER -o BOOK";
    case TFileKind::Zim:
        return fileName
            + " is a ZIM archive; unpack it (zimdump dump --dir=FOLDER FILE) and make a book of the folder with: "
              "ebook-pack build FOLDER -o BOOK";
    case TFileKind::Zip:
        return fileName
            + " is a zip archive; unpack it and make a book of the folder with: ebook-pack build FOLDER -o BOOK";
    case TFileKind::Other:
        break;
    }
    return std::nullopt;
}
