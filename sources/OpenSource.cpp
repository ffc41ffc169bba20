#include "sources/OpenSource.h"

#include "book/OpenedBook.h"
#include "common/BookText.h"
#include "common/CommandLine.h"
#include "common/Exception.h"
#include "sources/BookFileSource.h"
#include "sources/ChmSource.h"
#include "sources/EpubBook.h"
#include "sources/FolderPreview.h"
#include "sources/ZimSource.h"

#include <filesystem>
#include <iostream>
#include <ostream>

namespace {

// A loaded book file with the source that reads it.
class TOpenedBookSource : public TBookFileSource {
public:
    explicit TOpenedBookSource(std::unique_ptr<OpenedBook> book)
        : TBookFileSource(book->reader)
        , book_(std::move(book))
    {
    }

private:
    std::unique_ptr<OpenedBook> book_;
};

// A stream that takes what the folder's plan says and keeps none of it; a base of its own so that
// it exists before the pages are planned.
struct TQuietStream {
    std::ostream quiet { nullptr };
};

// A folder read as a book made from it would be, through a link that leads outside it only when
// asked; such links are named on standard error.
class TFolderSource : private TQuietStream, public TFolderPages {
public:
    TFolderSource(const std::string& folder, FolderReading reading)
        : TFolderPages(folder, ReadingLine(reading), false, quiet, quiet, { EFolderUse::Read, &std::cerr })
    {
    }

private:
    static CommandLine ReadingLine(FolderReading reading)
    {
        std::vector<std::string> args;
        if (reading.followOutside)
            args.emplace_back("--follow-outside");
        return CommandLine(args, { { "--follow-outside", "", false } });
    }
};

} // namespace

ESourceKind RequireSourceKind(const std::string& path)
{
    if (!std::filesystem::exists(path))
        throw Exception("Cannot open file " + path + "\nNo such file or directory");
    if (const auto kind = DetectSourceKind(path))
        return *kind;
    throw Exception(path + " is not a book: it is none of " + std::string(kKnownSourceKinds));
}

std::unique_ptr<TBookSource> OpenBookSource(const std::string& path, ESourceKind kind, FolderReading folder)
{
    switch (kind) {
    case ESourceKind::Book:
        return std::make_unique<TOpenedBookSource>(OpenBook(path));
    case ESourceKind::Epub:
        return std::make_unique<TEpubBook>(path);
    case ESourceKind::Chm:
        return std::make_unique<TChmSource>(path);
    case ESourceKind::Zim:
        return std::make_unique<TZimSource>(path);
    case ESourceKind::Folder:
        return std::make_unique<TFolderSource>(path, folder);
    }
    throw Exception(path + " is not a book");
}

std::unique_ptr<TBookSource> OpenBookSource(const std::string& path)
{
    return OpenBookSource(path, RequireSourceKind(path));
}
