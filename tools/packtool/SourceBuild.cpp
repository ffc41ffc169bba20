#include "tools/packtool/SourceBuild.h"

#include "common/BookText.h"
#include "common/DisplayText.h"
#include "common/Exception.h"
#include "sources/ChmSource.h"
#include "sources/HomePage.h"
#include "sources/OpenSource.h"
#include "sources/ZimSource.h"

namespace {

std::string MiB(uint64_t bytes)
{
    return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MiB";
}

} // namespace

ArchiveBook PlanArchiveBook(const std::string& path, ESourceKind kind, const CommandLine& line, std::ostream& out)
{
    if (kind != ESourceKind::Chm && kind != ESourceKind::Zim)
        throw Exception("Cannot build from " + path + ": not a CHM or ZIM archive");
    if (line.Has("--exclude") || line.Has("--include-hidden"))
        throw EUsageError(
            "--exclude and --include-hidden apply to folders, not to a " + std::string(SourceKindName(kind)));
    ArchiveBook book;
    book.source = OpenBookSource(path, kind);
    if (const auto* zim = dynamic_cast<const TZimSource*>(book.source.get())) {
        const uint64_t size = zim->ContentSize();
        out << EscapeForTerminal(path) << ": " << MiB(size) << " of pages before compression; a book holds at most "
            << MiB(kBookContainerBytes) << " compressed\n";
        if (size > kMaxPackedZimBytes)
            throw Exception("Cannot build from " + path + ": its " + MiB(size) + " of pages cannot fit the "
                + MiB(kBookContainerBytes) + " a book holds (at most " + MiB(kMaxPackedZimBytes)
                + " before compression is tried)");
        book.pages = zim->SourcePages();
    } else {
        book.pages = dynamic_cast<const TChmSource&>(*book.source).Pages();
    }

    book.settings = DefaultBuildSettings();
    ApplySettingOptions(line, book.settings);
    BookHeaderSettings& header = book.settings.header;
    const TBookSource& source = *book.source;
    if (!book.settings.titleSet) {
        header.title = StoredBookText(source.Title());
        out << "Title: " << EscapeForTerminal(source.Title()) << " (the " << source.KindName()
            << "'s own; set one with --title)\n";
    }
    if (header.description.empty() && !source.Description().empty())
        header.description = StoredBookText(source.Description());
    if (!header.hasAboutText && !source.Language().empty()) {
        header.aboutText = StoredBookText("Language: " + source.Language());
        header.hasAboutText = true;
    }
    std::vector<SourceFile> names;
    names.reserve(book.pages.size());
    for (const SourcePage& page : book.pages)
        names.push_back({ {}, page.pageName, page.size });
    const std::string home = source.HomePageName();
    header.homePageIndex = ChooseHomePage(names, book.settings.home ? book.settings.home : std::optional(home)).index;
    if (!book.settings.home)
        out << "Home page: " << EscapeForTerminal(BookTextToUtf8(home)) << " (the " << source.KindName()
            << "'s own; set one with --home)\n";
    return book;
}
