#include "book/BookFormat.h"
#include "common/CommandLine.h"
#include "common/DisplayText.h"
#include "sources/BookFileSource.h"
#include "sources/FolderBook.h"
#include "sources/OpenSource.h"
#include "tools/packtool/BookArgument.h"
#include "tools/packtool/LinkCheck.h"
#include "tools/packtool/PackCommand.h"
#include "tools/packtool/Progress.h"
#include "tools/packtool/SourceCommands.h"

#include <filesystem>
#include <sstream>

namespace {

constexpr std::string_view kUsage = R"(Usage: ebook-pack check BOOK|FILE|SRC_DIR [--json] [--external]

Resolves every internal link and reference of every HTML page and style sheet (href, src,
srcset, poster, data, url() and @import, <meta http-equiv=refresh>) as the viewer would, and
checks each #anchor against the ids and names of the page it reaches. Reports broken links,
missing anchors, names that match only in letter case (they work here but break on a
case-sensitive web server), links that climb out of the book with "..", and pages nothing links
to (but the home page and /404.html, the page web hosts show for a missing name). A folder is
checked as the book built from it would be; an EPUB, CHM or ZIM archive as it is read in place.
Every page is read once: on a terminal a count shows how far a large archive has got. Links to
the web are never fetched.
Exit status 0 when nothing is found, 1 with findings.

Options:
  --json                    the report as JSON
  --external                list the links that lead to the web as well
  --exclude GLOB  --include-hidden  --no-follow-outside    for a folder, as in build
)";

// The pages of a book file or of the book a folder would make, read when the check asks.
struct CheckedPages {
    std::vector<SourcePage> pages;
    std::string home;
};

int Report(const std::string& name, const CheckedPages& checked, const CommandLine& line, ToolContext& context)
{
    LinkReport report;
    {
        TProgress progress(
            context.err, context.errIsTerminal, "Reading pages", static_cast<int64_t>(checked.pages.size()), 0);
        report = CheckLinks(checked.pages, checked.home, &progress);
    }
    if (line.Has("--json")) {
        context.out << LinkReportJson(report, line.Has("--external"));
    } else {
        PrintLinkFindings(report, context.out, report.findings.size());
        if (line.Has("--external")) {
            for (const LinkFinding& link : report.external)
                context.out << "web link: " << EscapeForTerminal(link.page) << " -> " << EscapeForTerminal(link.target)
                            << " (" << link.where << ")\n";
        }
        context.out << EscapeForTerminal(name) << ": " << report.pages << " pages (" << report.markupPages << " HTML, "
                    << report.styleSheets << " style sheets), " << report.links << " links checked, "
                    << report.external.size() << " to the web: " << LinkReportSummary(report) << "\n";
    }
    return report.findings.empty() ? kExitOk : kExitPagesFailed;
}

int RunCheck(const std::vector<std::string>& args, ToolContext& context)
{
    const CommandLine line(args,
        { { "--json", "", false }, { "--external", "", false }, { "--exclude", "", true },
            { "--include-hidden", "", false }, { "--no-follow-outside", "", false } });
    line.ExpectOperands(1, 1, "BOOK|SRC_DIR");
    const std::string name = line.Operands()[0];
    CheckedPages checked;
    if (std::filesystem::is_directory(name)) {
        std::ostringstream said;
        const FolderBook book = PlanFolderBook(name, line, {}, said, said);
        for (std::size_t i = 0; i < book.files.size(); ++i)
            checked.pages.push_back(
                { book.files[i].pageName, book.files[i].size, [&book, i] { return book.PageBytes(i); } });
        const int32_t home = book.settings.header.homePageIndex;
        if (home >= 0)
            checked.home = book.files[static_cast<std::size_t>(home)].pageName;
        return Report(name, checked, line, context);
    }
    if (line.Has("--exclude") || line.Has("--include-hidden"))
        throw EUsageError("--exclude and --include-hidden apply to folders, not to a book");
    // A book file, or an EPUB, CHM or ZIM read in place.
    std::unique_ptr<OpenedBook> book;
    std::unique_ptr<TBookSource> source;
    if (const auto kind = OtherSourceKind(name)) {
        source = OpenBookSource(name, *kind);
    } else {
        book = OpenBookArgument(name);
        source = std::make_unique<TBookFileSource>(book->reader);
    }
    for (const std::string& page : source->PageNames())
        checked.pages.push_back({ page, 0, [&source, page] {
                                     const TPageLookup lookup = source->Lookup(page);
                                     return lookup.bytes ? *lookup.bytes : std::string();
                                 } });
    checked.home = source->HomePageName();
    return Report(name, checked, line, context);
}

} // namespace

const PackCommand kCheckCommand { "check", "check every link of a book, an archive or a folder", kUsage, RunCheck };
