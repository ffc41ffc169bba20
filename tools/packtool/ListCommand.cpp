#include "book/OpenedBook.h"
#include "common/BookText.h"
#include "common/CommandLine.h"
#include "common/DisplayText.h"
#include "tools/packtool/BookArgument.h"
#include "tools/packtool/PackCommand.h"
#include "tools/packtool/PageArgument.h"
#include "tools/packtool/SourceCommands.h"

#include <iomanip>
#include <nlohmann/json.hpp>

namespace {

constexpr std::string_view kUsage = R"(Usage: ebook-pack list BOOK [--json] [PAGE...]

Lists every directory entry of BOOK, or the entries the viewer serves for the PAGEs named (the
leading "/" may be left out): index, stored size, inflated size and name. A page that cannot be
extracted shows "damaged" as its inflated size. Exit status 1 when a PAGE is not in the book.
An EPUB, CHM, ZIM or folder lists its pages in its own order with their sizes.

Options:
  --json    one JSON array instead of text
)";

int RunList(const std::vector<std::string>& args, ToolContext& context)
{
    const CommandLine line(args, { { "--json", "", false } });
    line.ExpectOperands(1, SIZE_MAX, "BOOK");
    if (const auto kind = OtherSourceKind(line.Operands()[0]))
        return ListSource(line.Operands()[0], *kind, { line.Operands().begin() + 1, line.Operands().end() },
            line.Has("--json"), context);
    const auto book = OpenBookArgument(line.Operands()[0]);
    TBookReader& reader = book->reader;
    std::vector<int> indices;
    bool missing = false;
    for (std::size_t i = 1; i < line.Operands().size(); ++i) {
        const int index = PageIndexOfArgument(reader, line.Operands()[i]);
        if (index < 0) {
            context.err << "No page " << EscapeForTerminal(line.Operands()[i]) << " in " << book->fileName << "\n";
            missing = true;
        } else {
            indices.push_back(index);
        }
    }
    if (line.Operands().size() == 1) {
        for (int i = 0; i < reader.Pages().Count(); ++i)
            indices.push_back(i);
    }
    const bool json = line.Has("--json");
    nlohmann::json entries = nlohmann::json::array();
    if (!json)
        context.out << std::setw(6) << "index" << std::setw(12) << "stored" << std::setw(12) << "inflated"
                    << "  name\n";
    for (int i : indices) {
        TMemoryStream page;
        const bool extracted = reader.ExtractPageAt(i, page);
        const int32_t stored = reader.StoredLengthAt(i);
        const std::string name = BookTextToUtf8(reader.Pages()[i]);
        if (json) {
            entries.push_back(
                { { "index", i }, { "name", name }, { "offset", reader.PageOffset(i) }, { "storedSize", stored },
                    { "inflatedSize", extracted ? nlohmann::json(page.Size()) : nlohmann::json(nullptr) } });
        } else {
            context.out << std::setw(6) << i << std::setw(12) << stored << std::setw(12)
                        << (extracted ? std::to_string(page.Size()) : "damaged") << "  " << EscapeForTerminal(name)
                        << "\n";
        }
    }
    if (json)
        context.out << entries.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    return missing ? kExitPagesFailed : kExitOk;
}

} // namespace

const PackCommand kListCommand { "list", "list a book's pages with their sizes", kUsage, RunList };
