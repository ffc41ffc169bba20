#include "sources/FolderBook.h"

#include "common/BookText.h"
#include "common/DisplayText.h"
#include "common/Streams.h"
#include "sources/EpubSource.h"
#include "sources/HomePage.h"

#include <algorithm>

namespace fs = std::filesystem;

namespace {

// The name a book without a title gets from its folder.
std::string FolderName(const fs::path& folder)
{
    std::error_code error;
    const fs::path absolute = fs::weakly_canonical(fs::absolute(folder), error);
    const std::string name = (error ? folder : absolute).filename().string();
    return name.empty() ? folder.string() : name;
}

// Fills in the title the author left unset and says where it came from.
void ChooseTitle(
    BuildSettings& settings, const FolderBook& book, const HomeChoice& home, const fs::path& source, std::ostream& out)
{
    if (settings.titleSet)
        return;
    std::string title;
    std::string origin;
    if (home.index >= 0) {
        const auto index = static_cast<std::size_t>(home.index);
        if (const auto found = HtmlTitle(book.PageBytes(index))) {
            title = CutForDisplay(*found);
            origin = "the <title> of " + BookTextToUtf8(book.files[index].pageName);
        }
    }
    if (title.empty()) {
        title = FolderName(source);
        origin = "the folder's name";
    }
    settings.header.title = StoredBookText(title);
    out << "Title: " << EscapeForTerminal(title) << " (" << origin << "; set one with --title)\n";
}

void SortByPageName(std::vector<SourceFile>& files)
{
    std::sort(
        files.begin(), files.end(), [](const SourceFile& a, const SourceFile& b) { return a.pageName < b.pageName; });
}

} // namespace

std::string ReadWholeFile(const fs::path& path)
{
    try {
        TFileStream file(path.string(), TFileStream::Mode::OpenRead);
        std::string content(static_cast<std::size_t>(file.Size()), '\0');
        file.ReadBuffer(content.data(), file.Size());
        return content;
    } catch (const Exception& error) {
        throw Exception("Cannot read " + path.string() + ": " + error.Message());
    }
}

std::string FolderBook::PageBytes(std::size_t index) const
{
    const SourceFile& file = files.at(index);
    if (file.path.empty())
        return written.at(file.pageName);
    return ReadWholeFile(file.path);
}

SourceRules SourceRulesFor(const BuildSettings& settings, const CommandLine& line)
{
    SourceRules rules;
    rules.excludes = settings.excludes;
    for (const std::string& pattern : line.Values("--exclude"))
        rules.excludes.push_back(pattern);
    rules.includeHidden = line.Has("--include-hidden");
    return rules;
}

FolderBook PlanFolderBook(const fs::path& source, const CommandLine& line, const std::vector<fs::path>& skip,
    std::ostream& out, std::ostream& notes)
{
    FolderBook book;
    BuildSettings& settings = book.settings;
    settings = DefaultBuildSettings();
    const fs::path settingsFile = source / "book.json";
    if (fs::exists(settingsFile))
        ApplySettingsFile(settingsFile.string(), settings);
    ApplySettingOptions(line, settings);

    SourceRules rules = SourceRulesFor(settings, line);
    rules.skip = skip;
    book.files = CollectSourceFiles(source, rules, notes);
    // An unpacked EPUB opens on a contents page written from its navigation, as the EPUB would.
    if (!settings.home && !HasConventionalHomePage(book.files)) {
        if (const auto epub = ReadUnpackedEpub(source, book.files)) {
            std::erase_if(book.files,
                [&](const SourceFile& file) { return epub->IsPackagingFile(BookTextToUtf8(file.pageName).substr(1)); });
            book.files.push_back({ {}, epub->contentsName, epub->contentsPage.size() });
            book.written[epub->contentsName] = epub->contentsPage;
            SortByPageName(book.files);
            epub->ApplyDefaults(settings, FolderName(source), out);
            settings.titleSet = true;
            settings.home = epub->contentsName;
        }
    }
    WarnAboutPageNames(book.files, notes);
    if (book.files.empty())
        notes << "warning: " << source.string() << " holds no pages; the viewer cannot open such a book\n";

    const HomeChoice home = ChooseHomePage(book.files, settings.home);
    if (!home.reason.empty())
        out << "Home page: "
            << EscapeForTerminal(BookTextToUtf8(book.files[static_cast<std::size_t>(home.index)].pageName)) << " ("
            << home.reason << "; set one with --home)\n";
    ChooseTitle(settings, book, home, source, out);
    settings.header.homePageIndex = home.index;
    return book;
}
