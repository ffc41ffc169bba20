#include "book/BookWriter.h"
#include "common/AnsiText.h"
#include "common/OrderedWork.h"
#include "sources/BuildSettings.h"
#include "sources/EpubSource.h"
#include "sources/FolderBook.h"
#include "sources/SourceTree.h"
#include "tools/packtool/AtomicFile.h"
#include "tools/packtool/PackCommand.h"
#include "tools/packtool/PagePacking.h"
#include "tools/packtool/StubProgram.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kUsage = R"(Usage: ebook-pack build SRC_DIR -o OUT [OPTIONS]
       ebook-pack build BOOK.epub -o OUT [OPTIONS]

Packs every file below SRC_DIR as a page named "/" plus its path relative to SRC_DIR.
Settings come from SRC_DIR/book.json (not packed itself) and are overridden by the options.
An EPUB (2 or 3, known by its content) becomes a book of its files, its title, description,
date and authors, with a contents page written from its navigation as the home page.
Left out: hidden files and folders (names starting with "."), editor backups (*~, *.swp),
Thumbs.db, and what "exclude" in book.json or --exclude names; each is listed as it is left out.

Options:
  -o, --output OUT          the book file to write (required)
  --stub EXE                write EXE (the viewer program) first and append the book to it
  --title TEXT              default: the home page's <title>, else the folder's name
  --description TEXT        --about-text TEXT         --about-date YYYY-MM-DD
  --home PAGE               default: index.htm, index.html or default.htm, else the one
                            HTML page at the top of SRC_DIR
  --size-mode MODE          Normal, Maximized, FullScreen, AdjustedToScreen, or 0-255
  --position-mode MODE      Custom, DesktopCenter, ScreenCenter, or 0-255
  --window-left N  --window-top N     -16384 to 16384
  --window-width N  --window-height N 1 to 16384
  --show-menu  --show-toolbar  --resizable  --allow-print  --allow-context-menu
                            each also as --no-... to switch it off
  --exclude GLOB            leave out matching files or folders (repeatable); a pattern
                            without "/" matches names at any depth, one with "/" the path
  --include-hidden          pack hidden files and folders too
  --level N                 compression effort 0 (store) to 12 (smallest); default 5
  --threads N               compress on N threads; default: one per processor
)";

std::vector<OptionSpec> BuildOptions()
{
    std::vector<OptionSpec> options = { { "--output", "-o", true }, { "--stub", "", true }, { "--exclude", "", true },
        { "--include-hidden", "", false }, { "--level", "", true }, { "--threads", "", true } };
    const auto& settings = SettingOptions();
    options.insert(options.end(), settings.begin(), settings.end());
    return options;
}

// Writes the book (after the stub, when there is one) and commits it only when complete.
void WriteBook(const CommandLine& line, const BookHeaderSettings& header, const std::vector<SourcePage>& pages,
    const PackingOptions& options, ToolContext& context)
{
    const std::string output = *line.Value("--output");
    const auto stub = line.Value("--stub");
    TAtomicFile book(output);
    if (stub) {
        TFileStream executable(*stub, TFileStream::Mode::OpenRead);
        book.Stream().CopyFrom(executable, 0);
    }
    TBookStreamWriter writer(book.Stream(), header);
    PackPages(pages, writer, options);
    writer.Finish();
    const int64_t size = book.Stream().Size();
    book.Commit(stub.has_value());
    context.out << output << ": " << pages.size() << " pages, " << size << " bytes\n";
}

void BuildFromFolder(
    const fs::path& source, const CommandLine& line, const PackingOptions& options, ToolContext& context)
{
    const FolderBook book
        = PlanFolderBook(source, line, { fs::path(*line.Value("--output")) }, context.out, context.err);
    std::vector<SourcePage> pages;
    pages.reserve(book.files.size());
    for (std::size_t i = 0; i < book.files.size(); ++i) {
        const SourceFile& file = book.files[i];
        pages.push_back({ file.pageName, file.size, [&book, i] { return book.PageBytes(i); } });
    }
    WriteBook(line, book.settings.header, pages, options, context);
}

void BuildFromEpub(
    const std::string& epub, const CommandLine& line, const PackingOptions& options, ToolContext& context)
{
    if (line.Has("--exclude") || line.Has("--include-hidden"))
        throw EUsageError("--exclude and --include-hidden apply to folders, not to an EPUB");
    const TEpubSource source(epub);
    BuildSettings settings = DefaultBuildSettings();
    ApplySettingOptions(line, settings);
    source.ApplyDefaults(settings, context.out);
    settings.header.homePageIndex = source.HomeIndex(settings);
    WriteBook(line, settings.header, source.Pages(), options, context);
}

int RunBuild(const std::vector<std::string>& args, ToolContext& context)
{
    const CommandLine line(args, BuildOptions());
    line.ExpectOperands(1, 1, "SOURCE");
    const auto output = line.Value("--output");
    if (!output || output->empty())
        throw EUsageError("missing -o OUT");
    PackingOptions options;
    options.level = NumberOption(line, "--level", kMinCompressionLevel, kMaxCompressionLevel, kDefaultCompressionLevel);
    options.threads = static_cast<unsigned>(
        NumberOption(line, "--threads", 1, 256, static_cast<int32_t>(WorkerThreadsAvailable())));
    options.progress = context.errIsTerminal ? &context.err : nullptr;
    if (const auto stub = line.Value("--stub"))
        CheckStubProgram(*stub);

    const std::string source = line.Operands()[0];
    if (fs::is_directory(source))
        BuildFromFolder(source, line, options, context);
    else if (fs::is_regular_file(source) && IsEpubFile(source))
        BuildFromEpub(source, line, options, context);
    else if (fs::is_regular_file(source))
        throw Exception("Cannot build from " + source + ": it is neither a folder nor an EPUB");
    else
        throw Exception("Cannot open folder " + source);
    return kExitOk;
}

} // namespace

const PackCommand kBuildCommand { "build", "pack a folder of pages into a book", kUsage, RunBuild };
