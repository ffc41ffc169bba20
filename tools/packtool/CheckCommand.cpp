#include "common/CommandLine.h"
#include "common/DisplayText.h"
#include "tools/packtool/BookArgument.h"
#include "tools/packtool/LinkCheck.h"
#include "tools/packtool/PackCommand.h"
#include "tools/packtool/Progress.h"

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

// The pages of the book, read when the check asks.
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
        context.out << EscapeC1InJson(LinkReportJson(report, line.Has("--external")));
    } else {
        PrintLinkFindings(report, context.out, report.findings.size());
        if (line.Has("--external")) {
            for (const LinkFinding& link : report.external)
                context.out << "web link: " << EscapeForTerminal(link.page) << " -> " << EscapeForTerminal(link.target)
                            << " (" << EscapeForTerminal(link.where) << ")\n";
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
    // A folder is checked as the build would pack it.
    const TSourceArgument opened = OpenSourceArgument(name, line, EFolderUse::Build);
    TBookSource* source = opened.source.get();
    CheckedPages checked;
    for (const std::string& page : source->PageNames())
        checked.pages.push_back({ page, 0, [source, page] {
                                     const TPageLookup lookup = source->Lookup(page);
                                     return lookup.bytes ? *lookup.bytes : std::string();
                                 } });
    checked.home = source->HomePageName();
    return Report(name, checked, line, context);
}

} // namespace

const PackCommand kCheckCommand { "check", "check every link of a book, an archive or a folder", kUsage, RunCheck };
