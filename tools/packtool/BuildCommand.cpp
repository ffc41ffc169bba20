#include "book/BookWriter.h"
#include "common/AnsiText.h"
#include "common/BookText.h"
#include "common/OrderedWork.h"
#include "sources/BuildSettings.h"
#include "sources/EpubSource.h"
#include "sources/FolderBook.h"
#include "sources/OwnEntries.h"
#include "sources/SourceKind.h"
#include "sources/SourceTree.h"
#include "sources/StoredContents.h"
#include "tools/packtool/AtomicFile.h"
#include "tools/packtool/BookArgument.h"
#include "tools/packtool/BuildIndex.h"
#include "tools/packtool/LinkCheck.h"
#include "tools/packtool/PackCommand.h"
#include "tools/packtool/PagePacking.h"
#include "tools/packtool/SourceBuild.h"
#include "tools/packtool/StubProgram.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kUsage = R"(Usage: ebook-pack build SRC_DIR -o OUT [OPTIONS]
       ebook-pack build BOOK.epub|HELP.chm|ARCHIVE.zim -o OUT [OPTIONS]

Packs every file below SRC_DIR as a page named "/" plus its path relative to SRC_DIR.
Settings come from SRC_DIR/book.json (not packed itself) and are overridden by the options.
An EPUB (2 or 3, known by its content) becomes a book of its files, its title, description,
date and authors, with a contents page written from its navigation as the home page.
A CHM or ZIM becomes a book of its pages with its title, description, language and home page;
a ZIM's size is said before packing, and one whose pages hold more than 8 GiB before
compression is refused (a book holds at most 2 GiB).
Left out: hidden files and folders (names starting with "."), editor backups (*~, *.swp),
Thumbs.db, and what "exclude" in book.json or --exclude names; each is listed as it is left out.

Options:
  -o, --output OUT          the book file to write (required)
  --stub EXE                write EXE (the viewer program) first and append the book to it
  --portable                as --stub, with the one-file viewer ebook-portable installed
                            beside ebook-pack: a program that runs where nothing is installed
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
  --no-follow-outside       leave out links that lead outside SRC_DIR (they are followed and
                            named by default, as cp -rL would copy them)
  --level N                 compression effort 0 (store) to 12 (smallest); default 6
  --threads N               compress on N threads; default: one per processor
  --strict                  write no book when the link check finds anything (exit 1)
  --no-index                leave the search index out of the book (search, serve and the
                            viewer then build one in memory when first asked)

Every link of the pages is checked as `ebook-pack check` does; a summary and the first
findings are printed.
)";

std::vector<OptionSpec> BuildOptions()
{
    std::vector<OptionSpec> options = { { "--output", "-o", true }, { "--stub", "", true }, { "--exclude", "", true },
        { "--include-hidden", "", false }, { "--level", "", true }, { "--threads", "", true },
        { "--strict", "", false }, { "--no-follow-outside", "", false }, { "--no-index", "", false } };
    options.push_back({ "--portable", "", false });
    const auto& settings = SettingOptions();
    options.insert(options.end(), settings.begin(), settings.end());
    return options;
}

constexpr std::size_t kFindingsShown = 5;

// The stored name of the page the book opens with, which needs no link to it.
std::string HomePageName(const BookHeaderSettings& header, const std::vector<SourcePage>& pages)
{
    const int32_t home = header.homePageIndex;
    return home >= 0 && static_cast<std::size_t>(home) < pages.size() ? pages[static_cast<std::size_t>(home)].pageName
                                                                      : "";
}

// Says what the link check found. Returns whether the book is kept: --strict keeps none when
// anything was found.
bool ReportBookLinks(const LinkReport& report, const CommandLine& line, ToolContext& context)
{
    context.out << "Links: " << report.links << " checked, " << LinkReportSummary(report) << "\n";
    PrintLinkFindings(report, context.out, kFindingsShown);
    if (report.findings.empty() || !line.Has("--strict"))
        return true;
    context.err << "No book written: the link check found problems (--strict); see ebook-pack check\n";
    return false;
}

// Refuses before any work a book sure to pass the 31-bit positions of the container: what is known
// to go in whatever the compression (the program, each page's name and record) and, for pages
// stored as they are (level 0), their bytes.
void CheckLeastBookSize(
    const std::string& output, int64_t programSize, const std::vector<SourcePage>& pages, const PackingOptions& options)
{
    constexpr int64_t kRecordBytes = 8; // the record's length and the directory's position
    int64_t least = programSize;
    for (const SourcePage& page : pages)
        least += static_cast<int64_t>(page.pageName.size()) + kRecordBytes
            + (options.level == 0 ? static_cast<int64_t>(page.size) : 0);
    if (least > std::numeric_limits<int32_t>::max())
        throw Exception("Cannot build " + output + ": the book would be at least " + std::to_string(least)
            + " bytes; a book file holds at most 2,147,483,647");
}

// Writes the book (after the stub, when there is one) and commits it only when complete.
// `leftOutOfSearch`: pages packed but kept out of the book's search index (stored names).
// `packed`, when given, is called once every page is packed, before the links are reported.
int WriteBook(const CommandLine& line, const BookHeaderSettings& header, const std::vector<SourcePage>& pages,
    const PackingOptions& options, ToolContext& context, const std::vector<std::string>& leftOutOfSearch = {},
    const std::function<void()>& packed = {})
{
    const std::string output = *line.Value("--output");
    const auto stub = ChosenStubProgram(line);
    std::unique_ptr<TFileStream> executable;
    int64_t programSize = 0;
    if (stub) {
        executable = std::make_unique<TFileStream>(*stub, TFileStream::Mode::OpenRead);
        programSize = StubProgramSize(*executable);
    }
    CheckLeastBookSize(output, programSize, pages, options);
    TAtomicFile book(output);
    if (executable && programSize > 0)
        book.Stream().CopyFrom(*executable, programSize);
    TBookStreamWriter writer(book.Stream(), header);
    std::optional<TBuildIndex> index;
    PackingOptions packing = options;
    // The links are read from the bytes being packed: no page is read twice.
    TLinkCheck links(pages, HomePageName(header, pages));
    packing.links = &links;
    if (!line.Has("--no-index")) {
        index.emplace(pages, leftOutOfSearch);
        packing.index = &*index;
    }
    PackPages(pages, writer, packing);
    if (packed)
        packed();
    if (index)
        index->Write(writer, options.level, options.threads);
    writer.Finish();
    // Nothing is committed before the check has been said: --strict leaves no book behind.
    if (!ReportBookLinks(links.Report(), line, context))
        return kExitPagesFailed;
    const int64_t size = book.Stream().Size();
    book.Commit(stub.has_value());
    // Counted as info counts them: the book's own entries (its contents, its index) are no pages.
    const auto ownEntries = std::count_if(
        pages.begin(), pages.end(), [](const SourcePage& page) { return IsBookOwnEntry(page.pageName); });
    context.out << output << ": " << pages.size() - static_cast<std::size_t>(ownEntries) << " pages, " << size
                << " bytes\n";
    return kExitOk;
}

int BuildFromFolder(
    const fs::path& source, const CommandLine& line, const PackingOptions& options, ToolContext& context)
{
    FolderOpening opening;
    opening.contentsLater = true;
    const FolderBook book
        = PlanFolderBook(source, line, { fs::path(*line.Value("--output")) }, context.out, context.err, opening);
    if (book.files.empty())
        throw Exception("Nothing to pack in " + source.string()
            + ": the folder holds no file a book takes (see what was left out above)");
    std::vector<SourcePage> pages;
    pages.reserve(book.files.size());
    for (std::size_t i = 0; i < book.files.size(); ++i) {
        const SourceFile& file = book.files[i];
        pages.push_back({ file.pageName, file.size, [&book, i] { return book.PageBytes(i); } });
    }
    // Contents read from the home page while the pages are packed: the thread that reads the
    // first page reads them first, while the others go on packing; their entry comes last, when
    // there are any.
    std::function<void()> sayContents;
    if (const std::shared_ptr<TLateContents> contents = book.lateContents) {
        pages.front().load = [contents, first = pages.front().load] {
            contents->Get();
            return first();
        };
        pages.push_back({ StoredBookText(kContentsEntryName), 0,
            [contents] { return contents->Get() ? contents->Get()->text : std::string(); }, true });
        sayContents = [contents, &context] {
            if (contents->Get())
                context.out << contents->Get()->said;
        };
    }
    return WriteBook(line, book.settings.header, pages, options, context, {}, sayContents);
}

int BuildFromEpub(const std::string& epub, const CommandLine& line, const PackingOptions& options, ToolContext& context)
{
    if (line.Has("--exclude") || line.Has("--include-hidden") || line.Has("--no-follow-outside"))
        throw EUsageError("--exclude, --include-hidden and --no-follow-outside apply to folders, not to an EPUB");
    const TEpubSource source(epub);
    BuildSettings settings = DefaultBuildSettings();
    ApplySettingOptions(line, settings);
    source.ApplyDefaults(settings, context.out);
    settings.header.homePageIndex = source.HomeIndex(settings);
    return WriteBook(line, settings.header, source.Pages(), options, context, source.PagesLeftOutOfSearch());
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
    if (const auto stub = ChosenStubProgram(line))
        CheckStubProgram(*stub);

    const std::string source = line.Operands()[0];
    if (fs::is_directory(source))
        return BuildFromFolder(source, line, options, context);
    if (fs::is_regular_file(source) && IsEpubFile(source))
        return BuildFromEpub(source, line, options, context);
    if (const auto kind = DetectSourceKind(source); kind == ESourceKind::Chm || kind == ESourceKind::Zim) {
        const ArchiveBook book = PlanArchiveBook(source, *kind, line, context.out);
        return WriteBook(line, book.settings.header, book.pages, options, context);
    }
    if (fs::is_regular_file(source)) {
        RaiseNotABookHint(source);
        throw Exception("Cannot build from " + source + ": it is none of a folder, an EPUB, a CHM or a ZIM archive");
    }
    throw Exception("Cannot open folder " + source);
}

} // namespace

const PackCommand kBuildCommand { "build", "pack a folder of pages into a book", kUsage, RunBuild };
