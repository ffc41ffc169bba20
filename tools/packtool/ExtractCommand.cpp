#include "book/OpenedBook.h"
#include "common/AnsiText.h"
#include "common/BookText.h"
#include "common/CommandLine.h"
#include "common/DisplayText.h"
#include "sources/SafePath.h"
#include "tools/packtool/BookArgument.h"
#include "tools/packtool/PackCommand.h"
#include "tools/packtool/PageArgument.h"
#include "tools/packtool/SourceCommands.h"

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kUsage = R"(Usage: ebook-pack extract BOOK [-d DIR] [PAGE...]

Writes the inflated pages of BOOK (all of them, or the PAGEs named) under DIR (default: the
current folder), each at its page name (the leading "/" may be left out). Names that would leave DIR are refused. Of names that
differ only in letter case only the first is written: it is the one the viewer serves.
Exit status 1 when a page could not be extracted or written. An EPUB, CHM, ZIM or folder is read
in place the same way.

Options:
  -d, --directory DIR    the folder to write into (created when missing)
)";

// Writes one page; reports and returns false on failure.
bool WritePage(TBookReader& reader, int index, const fs::path& folder, ToolContext& context)
{
    const std::string name = BookTextToUtf8(reader.Pages()[index]);
    const auto relative = PagePathBelow(name);
    if (!relative) {
        context.err << "Refusing page " << EscapeForTerminal(name) << ": its name would not stay inside "
                    << folder.string() << "\n";
        return false;
    }
    const fs::path target = folder / *relative;
    if (!StaysInside(folder, target)) {
        context.err << "Refusing page " << EscapeForTerminal(name) << ": " << EscapeForTerminal(target.string())
                    << " leads outside " << folder.string() << "\n";
        return false;
    }
    TMemoryStream page;
    if (!reader.ExtractPageAt(index, page)) {
        context.err << "Cannot extract page " << EscapeForTerminal(name) << "\n";
        return false;
    }
    std::error_code error;
    fs::create_directories(target.parent_path(), error);
    std::ofstream file(target, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(page.Memory()), static_cast<std::streamsize>(page.Size()));
    file.close();
    if (!file) {
        context.err << "Cannot write file " << EscapeForTerminal(target.string()) << "\n";
        return false;
    }
    return true;
}

int RunExtract(const std::vector<std::string>& args, ToolContext& context)
{
    const CommandLine line(args, { { "--directory", "-d", true } });
    line.ExpectOperands(1, SIZE_MAX, "BOOK");
    const fs::path folder = line.Value("--directory").value_or(".");
    if (const auto kind = OtherSourceKind(line.Operands()[0]))
        return ExtractSource(line.Operands()[0], *kind, folder.string(),
            { line.Operands().begin() + 1, line.Operands().end() }, context);
    const auto book = OpenBookArgument(line.Operands()[0]);
    TBookReader& reader = book->reader;

    std::vector<int> indices;
    bool failed = false;
    if (line.Operands().size() > 1) {
        for (std::size_t i = 1; i < line.Operands().size(); ++i) {
            const int index = PageIndexOfArgument(reader, line.Operands()[i]);
            if (index < 0) {
                context.err << "No page " << EscapeForTerminal(line.Operands()[i]) << " in " << book->fileName << "\n";
                failed = true;
            } else {
                indices.push_back(index);
            }
        }
    } else {
        for (int i = 0; i < reader.Pages().Count(); ++i) {
            const int first = reader.IndexOfPage(reader.Pages()[i]);
            if (first != i)
                context.err << "warning: skipping page " << EscapeForTerminal(BookTextToUtf8(reader.Pages()[i]))
                            << ": the viewer serves " << EscapeForTerminal(BookTextToUtf8(reader.Pages()[first]))
                            << " for that name\n";
            else
                indices.push_back(i);
        }
    }
    for (int index : indices)
        failed = !WritePage(reader, index, folder, context) || failed;
    return failed ? kExitPagesFailed : kExitOk;
}

} // namespace

const PackCommand kExtractCommand { "extract", "write a book's pages into a folder", kUsage, RunExtract };
