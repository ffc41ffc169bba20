#include "common/BookText.h"
#include "common/CommandLine.h"
#include "common/DisplayText.h"
#include "sources/SafePath.h"
#include "tools/packtool/BookArgument.h"
#include "tools/packtool/PackCommand.h"
#include "tools/packtool/PageArgument.h"

#include <filesystem>
#include <fstream>
#include <unordered_set>

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kUsage = R"(Usage: ebook-pack extract BOOK [-d DIR] [--all] [PAGE...]

Writes the pages of BOOK (all of them, or the PAGEs named) under DIR (default: the current
folder), each at its page name (the leading "/" may be left out). Names that would leave DIR are
refused. Of names that differ only in letter case only the first is written: it is the one the
viewer serves. A book built from a folder gives the folder back, byte for byte (less the files the
build left out). Exit status 1 when a page could not be read or written.
BOOK may also be an EPUB, a CHM, a ZIM archive or a folder, read in place (told by content).

Options:
  -d, --directory DIR    the folder to write into (created when missing)
  --all                  the book's own entries as well: its stored contents
                         (.ebook-contents.json) and its search index (.search-index/...)
  --follow-outside       for a folder: follow its links that lead outside it
)";

// Writes one page; reports and returns false on failure.
bool WritePage(
    TBookSource& source, const TChosenPage& page, const TPageLookup& read, const fs::path& folder, ToolContext& context)
{
    const std::string name = BookTextToUtf8(page.name);
    const auto relative = PagePathBelow(name);
    if (!relative) {
        context.err << "Refusing page " << EscapeForTerminal(name) << ": its name would not stay inside "
                    << EscapeForTerminal(folder.string()) << "\n";
        return false;
    }
    const fs::path target = folder / *relative;
    if (!StaysInside(folder, target)) {
        context.err << "Refusing page " << EscapeForTerminal(name) << ": " << EscapeForTerminal(target.string())
                    << " leads outside " << EscapeForTerminal(folder.string()) << "\n";
        return false;
    }
    if (!read.bytes) {
        const std::string why = source.WhyUnreadable(page.index, page.name);
        context.err << EscapeForTerminal(why.empty() ? "Cannot read page " + name : why) << "\n";
        return false;
    }
    std::error_code error;
    fs::create_directories(target.parent_path(), error);
    std::ofstream file(target, std::ios::binary | std::ios::trunc);
    file.write(read.bytes->data(), static_cast<std::streamsize>(read.bytes->size()));
    file.close();
    if (!file) {
        context.err << "Cannot write file " << EscapeForTerminal(target.string()) << "\n";
        return false;
    }
    return true;
}

int RunExtract(const std::vector<std::string>& args, ToolContext& context)
{
    const CommandLine line(args, { kFollowOutsideOption, { "--directory", "-d", true }, { "--all", "", false } });
    line.ExpectOperands(1, SIZE_MAX, "BOOK");
    const fs::path folder = line.Value("--directory").value_or(".");
    const std::string& path = line.Operands()[0];
    const TSourceArgument opened = OpenSourceArgument(path, line);
    TBookSource& source = *opened.source;
    const std::vector<std::string> operands(line.Operands().begin() + 1, line.Operands().end());
    bool failed = false;
    std::unordered_set<std::string> written;
    for (const TChosenPage& page : ChoosePages(source, operands, line.Has("--all"), path, context.err, failed)) {
        // Every page is written but one the viewer never serves: a page of a name alike comes first.
        const std::string served = source.StoredPageName(page.name).value_or(page.name);
        if (operands.empty() && (served != page.name || !written.insert(page.name).second)) {
            context.err << "warning: skipping page " << EscapeForTerminal(BookTextToUtf8(page.name))
                        << ": the viewer serves " << EscapeForTerminal(BookTextToUtf8(served)) << " for that name\n";
            continue;
        }
        failed = !WritePage(source, page, source.PageAt(page.index, page.name), folder, context) || failed;
    }
    return failed ? kExitPagesFailed : kExitOk;
}

} // namespace

const PackCommand kExtractCommand { "extract", "write a book's pages into a folder", kUsage, RunExtract };
