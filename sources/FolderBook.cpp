#include "sources/FolderBook.h"

#include "book/BookFormat.h"
#include "common/BookText.h"
#include "common/DisplayText.h"
#include "common/Exception.h"
#include "common/Streams.h"
#include "sources/ContentsReading.h"
#include "sources/EpubNavContents.h"
#include "sources/EpubSource.h"
#include "sources/HomePage.h"
#include "sources/LinkResolution.h"
#include "sources/RegularFile.h"
#include "sources/StoredContents.h"

#include <algorithm>
#include <memory>
#include <unordered_map>

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

// The author's page names checked against the folder and written as the book stores them.
void ResolveAuthorContents(TContents& entries, const TContentsBook& pages)
{
    for (TContentsEntry& entry : entries) {
        if (!entry.page.empty()) {
            const auto place = ResolvePageLink("/", entry.page);
            const auto stored = place ? pages.find(place->page) : std::nullopt;
            if (!stored)
                throw Exception("book.json: \"contents\" entry \"" + entry.title + "\" names " + entry.page
                    + ", which is not a page of the book");
            entry.page = *stored;
        }
        ResolveAuthorContents(entry.children, pages);
    }
}

// The book's pages as reading its contents sees them: found and read by name, letter case folded.
// Holds `book` by reference.
class TFolderContentsBook {
public:
    explicit TFolderContentsBook(const FolderBook& book)
        : book_(book)
    {
        for (std::size_t i = 0; i < book.files.size(); ++i)
            byFoldedName_.emplace(FoldedBookText(book.files[i].pageName), i);
    }

    bool Holds(std::string_view storedName) const { return byFoldedName_.contains(FoldedBookText(storedName)); }

    TContentsBook Pages() const
    {
        const auto index = book_.settings.header.homePageIndex;
        TContentsBook pages;
        pages.home = index >= 0 ? BookTextToUtf8(book_.files[static_cast<std::size_t>(index)].pageName) : std::string();
        pages.pageCount = book_.files.size();
        pages.find = [this](const std::string& name) -> std::optional<std::string> {
            const auto found = byFoldedName_.find(FoldedBookText(StoredBookText(name)));
            if (found == byFoldedName_.end())
                return std::nullopt;
            return BookTextToUtf8(book_.files[found->second].pageName);
        };
        pages.read = [this](const std::string& name) -> std::optional<std::string> {
            const auto found = byFoldedName_.find(FoldedBookText(StoredBookText(name)));
            if (found == byFoldedName_.end())
                return std::nullopt;
            try {
                return book_.PageBytes(found->second);
            } catch (const Exception&) {
                return std::nullopt;
            }
        };
        return pages;
    }

private:
    const FolderBook& book_;
    std::unordered_map<std::string, std::size_t> byFoldedName_;
};

// The entry's text and the line that says what it holds; nothing when the contents are empty and
// not to be opened at start.
std::optional<LateContents> ContentsEntry(const TStoredContents& stored, const std::string& origin)
{
    if (stored.entries.empty() && !stored.openAtStart)
        return std::nullopt;
    const auto entries = CountEntries(stored.entries);
    const auto levels = ContentsDepth(stored.entries);
    std::string said = "Contents: " + std::to_string(entries) + (entries == 1 ? " entry, " : " entries, ")
        + std::to_string(levels) + (levels == 1 ? " level (" : " levels (") + origin + ")";
    // The book keeps them all, but no reader takes more than its bound: say what readers will miss.
    if (entries > kMaxStoredContentsEntries)
        said += "; readers show the first " + std::to_string(kMaxStoredContentsEntries) + " entries only";
    if (levels > kMaxStoredContentsDepth)
        said += "; readers show " + std::to_string(kMaxStoredContentsDepth) + " levels only";
    said += "\n";
    return LateContents { StoredContentsText(stored), std::move(said) };
}

std::optional<LateContents> ContentsFromHomePage(const FolderBook& book)
{
    TStoredContents stored;
    stored.openAtStart = book.settings.contentsOpen;
    stored.entries = ReadContentsFromPages(TFolderContentsBook(book).Pages());
    return ContentsEntry(stored, "the home page");
}

void AddContentsEntry(FolderBook& book, const std::optional<LateContents>& contents, std::ostream& out)
{
    if (!contents)
        return;
    out << contents->said;
    const std::string name = StoredBookText(kContentsEntryName);
    book.files.push_back({ {}, name, contents->text.size() });
    book.written[name] = contents->text;
    SortByPageName(book.files);
}

// Writes the contents entry: the author's, else the unpacked EPUB's navigation, else what the home
// page shows (left to TLateContents when `later`, read as the pages are packed: see
// FolderOpening). A file of the folder
// under the entry's name is refused rather than shadowed.
void AddStoredContents(FolderBook& book, const std::optional<TContents>& navigation, bool later, std::ostream& out)
{
    const TFolderContentsBook pages(book);
    for (const std::string_view entryName : { kContentsEntryName, kJsonContentsEntryName })
        if (pages.Holds(StoredBookText(entryName)))
            throw Exception(
                "Refusing to pack " + std::string(entryName) + ": the book keeps its contents under that name");
    TStoredContents stored;
    stored.openAtStart = book.settings.contentsOpen;
    if (book.settings.contents) {
        stored.entries = *book.settings.contents;
        ResolveAuthorContents(stored.entries, pages.Pages());
        AddContentsEntry(book, ContentsEntry(stored, "book.json"), out);
    } else if (navigation && !navigation->empty()) {
        stored.entries = *navigation;
        AddContentsEntry(book, ContentsEntry(stored, "the EPUB's navigation"), out);
    } else if (later) {
        // The reading gets a copy of the plan: the book itself moves on to the caller.
        book.lateContents = std::make_shared<TLateContents>(std::make_shared<const FolderBook>(book));
    } else {
        AddContentsEntry(book, ContentsFromHomePage(book), out);
    }
}

} // namespace

TLateContents::TLateContents(std::shared_ptr<const FolderBook> plan)
    : plan_(std::move(plan))
{
}

const std::optional<LateContents>& TLateContents::Get()
{
    std::call_once(read_, [this] { contents_ = ContentsFromHomePage(*plan_); });
    return contents_;
}

std::string FolderBook::PageBytes(std::size_t index) const
{
    const SourceFile& file = files.at(index);
    if (file.path.empty())
        return written.at(file.pageName);
    // What is read counts, not what the folder scan saw: a file may grow or be replaced in between.
    return ReadRegularFile(file.path, static_cast<uint64_t>(kMaxPageSize));
}

std::string FolderBook::PageBytesWithin(std::size_t index, const fs::path& realFolder) const
{
    const SourceFile& file = files.at(index);
    if (file.path.empty())
        return written.at(file.pageName);
    return ReadRegularFileWithin(file.path, realFolder, static_cast<uint64_t>(kMaxPageSize));
}

SourceRules SourceRulesFor(const BuildSettings& settings, const CommandLine& line, EFolderUse use)
{
    SourceRules rules;
    rules.excludes = settings.excludes;
    for (const std::string& pattern : line.Values("--exclude"))
        rules.excludes.push_back(pattern);
    rules.includeHidden = line.Has("--include-hidden");
    rules.use = use;
    rules.followOutside = use == EFolderUse::Build ? !line.Has("--no-follow-outside") : line.Has("--follow-outside");
    return rules;
}

FolderBook PlanFolderBook(const fs::path& source, const CommandLine& line, const std::vector<fs::path>& skip,
    std::ostream& out, std::ostream& notes, const FolderOpening& opening)
{
    FolderBook book;
    std::optional<TContents> navigation;
    BuildSettings& settings = book.settings;
    settings = DefaultBuildSettings();
    const fs::path settingsFile = source / "book.json";
    if (fs::exists(settingsFile))
        ApplySettingsFile(settingsFile.string(), settings);
    ApplySettingOptions(line, settings);

    SourceRules rules = SourceRulesFor(settings, line, opening.use);
    rules.skip = skip;
    rules.refusals = opening.refusals;
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
            navigation = ContentsOfEpubNavigation(epub->package.contents);
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
    const std::string homeName = home.index >= 0 ? book.files[static_cast<std::size_t>(home.index)].pageName : "";
    AddStoredContents(book, navigation, opening.contentsLater, out);
    // The contents entry moved the pages after it along.
    if (home.index >= 0) {
        const auto found = std::find_if(
            book.files.begin(), book.files.end(), [&](const SourceFile& file) { return file.pageName == homeName; });
        if (found != book.files.end())
            settings.header.homePageIndex = static_cast<int32_t>(found - book.files.begin());
    }
    return book;
}
