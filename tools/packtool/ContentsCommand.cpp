#include "common/CommandLine.h"
#include "common/DisplayText.h"
#include "sources/SourceContents.h"
#include "sources/StoredContents.h"
#include "tools/packtool/BookArgument.h"
#include "tools/packtool/PackCommand.h"

namespace {

constexpr std::string_view kUsage = R"(Usage: ebook-pack contents BOOK|FILE|DIR [--json]

Prints the contents the viewer shows for BOOK: the ones stored in it when it was built, else
those its home page gives (its nested lists of links, else its chain of "next" links, else its
links in order). An EPUB gives its navigation document (or NCX), a CHM its .hhc sitemap; a ZIM
archive and a folder give those of their home page, as a book without stored contents does. One entry a line, indented two blanks a level: the title, then the page and
anchor it opens. Exit status 1 when the book has no contents.

Options:
  --json    the tree as JSON: a list of {"title", "page", "anchor", "children": [...]}, the
            anchor left out when empty
  --follow-outside  for a folder: follow its links that lead outside it
)";

void PrintTree(const TContents& entries, int level, std::ostream& out)
{
    for (const TContentsEntry& entry : entries) {
        out << std::string(static_cast<std::size_t>(level) * 2, ' ') << EscapeForTerminal(entry.title);
        if (!entry.page.empty())
            out << "  " << EscapeForTerminal(entry.page + (entry.anchor.empty() ? "" : "#" + entry.anchor));
        out << "\n";
        PrintTree(entry.children, level + 1, out);
    }
}

int RunContents(const std::vector<std::string>& args, ToolContext& context)
{
    const CommandLine line(args, { kFollowOutsideOption, { "--json", "", false } });
    line.ExpectOperands(1, 1, "BOOK|FILE|DIR");
    const TSourceArgument opened = OpenSourceArgument(line.Operands()[0], line);
    const TContents& contents = ContentsOfSource(*opened.source);
    if (line.Has("--json"))
        context.out << EscapeC1InJson(ContentsTreeJson(contents, 2)) << "\n";
    else
        PrintTree(contents, 0, context.out);
    return contents.empty() ? kExitPagesFailed : kExitOk;
}

} // namespace

const PackCommand kContentsCommand { "contents", "print a book's table of contents", kUsage, RunContents };
