#include "AnsiText.h"
#include "AtomicFile.h"
#include "BookText.h"
#include "BookWriter.h"
#include "BuildSettings.h"
#include "PackCommand.h"
#include "Progress.h"
#include "SourceTree.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kUsage = R"(Usage: ebook-pack build SRC_DIR -o OUT [OPTIONS]

Packs every file below SRC_DIR as a page named "/" plus its path relative to SRC_DIR.
Settings come from SRC_DIR/book.json (not packed itself) and are overridden by the options.

Options:
  -o, --output OUT          the book file to write (required)
  --stub EXE                write EXE first and append the book to it (an executable viewer)
  --title TEXT              --description TEXT        --about-text TEXT
  --about-date YYYY-MM-DD   --home PAGE               (default /index.htm or /index.html)
  --size-mode MODE          Normal, Maximized, FullScreen, AdjustedToScreen, or 0-255
  --position-mode MODE      Custom, DesktopCenter, ScreenCenter, or 0-255
  --window-left N  --window-top N  --window-width N  --window-height N
  --show-menu  --show-toolbar  --resizable  --allow-print  --allow-context-menu
                            each also as --no-... to switch it off
)";

std::vector<OptionSpec> BuildOptions()
{
    std::vector<OptionSpec> options = { { "--output", "-o", true }, { "--stub", "", true } };
    const auto& settings = SettingOptions();
    options.insert(options.end(), settings.begin(), settings.end());
    return options;
}

std::string ReadWholeFile(const fs::path& path)
{
    TFileStream file(path.string(), TFileStream::Mode::OpenRead);
    std::string content(static_cast<std::size_t>(file.Size()), '\0');
    file.ReadBuffer(content.data(), file.Size());
    return content;
}

// The directory index of the home page: the named one, else /index.htm or /index.html, else -1
// (the first entry).
int32_t HomePageIndex(const std::vector<SourceFile>& files, const std::optional<std::string>& home)
{
    auto indexOf = [&](std::string_view name) -> int32_t {
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (AnsiSameText(files[i].pageName, name))
                return static_cast<int32_t>(i);
        }
        return -1;
    };
    if (home) {
        const std::string name = home->starts_with("/") ? *home : "/" + *home;
        const int32_t index = indexOf(name);
        if (index < 0)
            throw Exception("Home page " + BookTextToUtf8(name) + " is not among the pages");
        return index;
    }
    for (std::string_view fallback : { "/index.htm", "/index.html" }) {
        const int32_t index = indexOf(fallback);
        if (index >= 0)
            return index;
    }
    return -1;
}

int RunBuild(const std::vector<std::string>& args, ToolContext& context)
{
    const CommandLine line(args, BuildOptions());
    line.ExpectOperands(1, 1, "SRC_DIR");
    const auto output = line.Value("--output");
    if (!output || output->empty())
        throw EUsageError("missing -o OUT");
    const fs::path source = line.Operands()[0];
    if (!fs::is_directory(source))
        throw Exception("Cannot open folder " + source.string());

    BuildSettings settings = DefaultBuildSettings();
    const fs::path settingsFile = source / "book.json";
    if (fs::exists(settingsFile))
        ApplySettingsFile(settingsFile.string(), settings);
    ApplySettingOptions(line, settings);

    const std::vector<SourceFile> files = CollectSourceFiles(source, { fs::path(*output) });
    WarnAboutPageNames(files, context.err);
    if (files.empty())
        context.err << "warning: " << source.string() << " holds no pages; the viewer cannot open such a book\n";

    TBookWriter writer;
    writer.settings = settings.header;
    writer.settings.homePageIndex = HomePageIndex(files, settings.home);
    {
        int64_t totalBytes = 0;
        for (const SourceFile& file : files)
            totalBytes += static_cast<int64_t>(fs::file_size(file.path));
        TProgress progress(
            context.err, context.errIsTerminal, "Packing", static_cast<int64_t>(files.size()), totalBytes);
        for (const SourceFile& file : files) {
            writer.AddPage(file.pageName, ReadWholeFile(file.path));
            progress.Step();
        }
    }

    TAtomicFile book(*output);
    if (const auto stub = line.Value("--stub")) {
        TFileStream executable(*stub, TFileStream::Mode::OpenRead);
        if (executable.Size() > 0)
            book.Stream().CopyFrom(executable, 0);
    }
    writer.SaveToStream(book.Stream());
    const int64_t size = book.Stream().Size();
    book.Commit(line.Has("--stub"));
    context.out << *output << ": " << files.size() << " pages, " << size << " bytes\n";
    return kExitOk;
}

} // namespace

const PackCommand kBuildCommand { "build", "pack a folder of pages into a book", kUsage, RunBuild };
