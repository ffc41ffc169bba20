#include "common/BookText.h"
#include "common/CommandLine.h"
#include "common/DisplayText.h"
#include "tools/packtool/BookArgument.h"
#include "tools/packtool/PackCommand.h"
#include "tools/packtool/PageArgument.h"

#include <iomanip>
#include <nlohmann/json.hpp>

namespace {

constexpr std::string_view kUsage = R"(Usage: ebook-pack list BOOK [--json] [--all] [PAGE...]

Lists the pages of BOOK in its own order, or the pages the viewer serves for the PAGEs named (the
leading "/" may be left out): index, stored size, inflated size and name. A page that cannot be
read shows "damaged" as its inflated size. Exit status 1 when a PAGE is not in the book.
BOOK may also be an EPUB, a CHM, a ZIM archive or a folder, read in place (told by content); it
stores no page compressed on its own, so the stored size is "-".

Options:
  --all     the book's own entries as well: its stored contents (/.ebook-contents.json) and its
            search index (/.search-index/...), which are no pages
  --json    one JSON array instead of text
  --follow-outside  for a folder: follow its links that lead outside it
)";

int RunList(const std::vector<std::string>& args, ToolContext& context)
{
    const CommandLine line(args, { kFollowOutsideOption, { "--json", "", false }, { "--all", "", false } });
    line.ExpectOperands(1, SIZE_MAX, "BOOK");
    const std::string& path = line.Operands()[0];
    const TSourceArgument opened = OpenSourceArgument(path, line);
    TBookSource& source = *opened.source;
    bool missing = false;
    const std::vector<TChosenPage> pages = ChoosePages(
        source, { line.Operands().begin() + 1, line.Operands().end() }, line.Has("--all"), path, context.err, missing);
    const bool json = line.Has("--json");
    nlohmann::json entries = nlohmann::json::array();
    if (!json)
        context.out << std::setw(6) << "index" << std::setw(12) << "stored" << std::setw(12) << "inflated"
                    << "  name\n";
    for (const TChosenPage& page : pages) {
        const TPageLookup read = source.PageAt(page.index, page.name);
        const auto record = source.StoredRecordAt(page.index);
        const std::string name = BookTextToUtf8(page.name);
        if (json) {
            entries.push_back({ { "index", page.index }, { "name", name },
                { "offset", record ? nlohmann::json(record->offset) : nlohmann::json(nullptr) },
                { "storedSize", record ? nlohmann::json(record->size) : nlohmann::json(nullptr) },
                { "inflatedSize", read.bytes ? nlohmann::json(read.bytes->size()) : nlohmann::json(nullptr) } });
        } else {
            context.out << std::setw(6) << page.index << std::setw(12) << (record ? std::to_string(record->size) : "-")
                        << std::setw(12) << (read.bytes ? std::to_string(read.bytes->size()) : "damaged") << "  "
                        << EscapeForTerminal(name) << "\n";
        }
    }
    if (json)
        context.out << EscapeC1InJson(entries.dump(2, ' ', false, nlohmann::json::error_handler_t::replace)) << "\n";
    return missing ? kExitPagesFailed : kExitOk;
}

} // namespace

const PackCommand kListCommand { "list", "list a book's pages with their sizes", kUsage, RunList };
