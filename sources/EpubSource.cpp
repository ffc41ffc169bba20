#include "sources/EpubSource.h"

#include "book/DateText.h"
#include "common/BookText.h"
#include "common/DisplayText.h"
#include "common/Exception.h"
#include "html/PageText.h"
#include "sources/ContentsPage.h"
#include "sources/EpubNavContents.h"
#include "sources/EpubOwnContents.h"
#include "sources/HomePage.h"
#include "sources/RegularFile.h"
#include "sources/StoredContents.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kContainerPath = "META-INF/container.xml";

std::string Stored(const std::string& utf8)
{
    return StoredBookText(utf8);
}

// "1869", "1869-05" and "1869-05-01T00:00:00Z" all give a day.
std::optional<double> EpubDate(const std::string& text)
{
    std::string date = text.substr(0, 10);
    if (date.size() == 4)
        date += "-01-01";
    else if (date.size() == 7)
        date += "-01";
    return ParseIsoDate(date);
}

} // namespace

EpubBookParts::EpubBookParts(
    const EpubFileReader& read, const std::vector<std::string>& names, const std::string& source)
    : package(ReadEpubPackage(read, source))
{
    // The book finds pages whatever their letter case: a name that differs from an entry's only
    // in case would stand for that entry. The names are folded once, so that choosing stays
    // linear however many entries are named like the candidates.
    std::unordered_set<std::string> taken;
    for (const std::string& name : names)
        taken.insert(FoldedBookText(StoredBookText("/" + name)));
    contentsName = "/contents.html";
    for (int n = 2; taken.contains(FoldedBookText(contentsName)); ++n)
        contentsName = "/contents-" + std::to_string(n) + ".html";
    contentsPage = EpubContentsPage(package, [&](const std::string& path) {
        if (const auto document = read(path)) {
            if (const auto title = HtmlTitle(*document))
                return CutForDisplay(*title);
        }
        return path.substr(path.rfind('/') + 1);
    });
}

bool EpubBookParts::IsPackagingFile(const std::string& archivePath) const
{
    return archivePath == "mimetype" || archivePath.starts_with("META-INF/") || archivePath == package.packagePath
        || archivePath == package.ncxPath;
}

void EpubBookParts::ApplyDefaults(BuildSettings& settings, const std::string& fallbackTitle, std::ostream& out) const
{
    BookHeaderSettings& header = settings.header;
    if (!settings.titleSet) {
        const std::string title = CutForDisplay(package.title.empty() ? fallbackTitle : package.title);
        header.title = Stored(title);
        out << "Title: " << EscapeForTerminal(title) << " ("
            << (package.title.empty() ? "the EPUB's name" : "the EPUB's package document")
            << "; set one with --title)\n";
    }
    if (header.description.empty() && !package.description.empty())
        header.description = Stored(TextOfMarkup(package.description).body);
    if (!header.hasAboutText && (!package.creators.empty() || !package.language.empty())) {
        std::string about;
        for (const std::string& creator : package.creators)
            about += (about.empty() ? "By " : ", ") + creator;
        if (!package.language.empty())
            about += (about.empty() ? "" : ". ") + std::string("Language: ") + package.language;
        header.aboutText = Stored(about);
        header.hasAboutText = true;
    }
    if (!header.hasAboutDate && package.date.size() >= 4) {
        if (const auto days = EpubDate(package.date)) {
            header.aboutDate = *days;
            header.hasAboutDate = true;
        }
    }
    if (!settings.home)
        out << "Home page: " << contentsName << " (a contents page written from the EPUB's "
            << (package.contents.empty() ? "reading order" : "navigation") << "; set one with --home)\n";
}

bool IsEpubFile(const std::string& fileName)
{
    if (!LooksLikeZip(fileName))
        return false;
    const TZipArchive archive(fileName);
    return archive.Find(std::string(kContainerPath)) >= 0;
}

TEpubSource::TEpubSource(const std::string& fileName)
    : fileName_(fileName)
    , archive_(fileName)
{
    std::vector<std::string> names;
    for (const TZipArchive::Entry& entry : archive_.Entries())
        names.push_back(entry.name);
    parts_.emplace(
        [&](const std::string& path) -> std::optional<std::string> {
            const int index = archive_.Find(path);
            if (index < 0)
                return std::nullopt;
            return archive_.Read(index);
        },
        names, fileName);

    for (int i = 0; i < static_cast<int>(archive_.Entries().size()); ++i) {
        const TZipArchive::Entry& entry = archive_.Entries()[static_cast<std::size_t>(i)];
        if (parts_->IsPackagingFile(entry.name))
            continue;
        const auto stored = Utf8ToBookText("/" + entry.name);
        if (!stored)
            throw Exception("Refusing " + fileName + ": entry name " + entry.name + " is not UTF-8 text");
        pages_.push_back({ *stored, entry.size, [this, i] { return archive_.Read(i); } });
    }
    pages_.push_back({ parts_->contentsName, parts_->contentsPage.size(), [this] { return parts_->contentsPage; } });
    for (const SourcePage& page : pages_) {
        for (const std::string_view entryName : { kContentsEntryName, kJsonContentsEntryName })
            if (FoldedBookText(page.pageName) == FoldedBookText(StoredBookText(entryName)))
                throw Exception("Refusing " + fileName + ": its entry " + std::string(entryName).substr(1)
                    + " has the name the book keeps its contents under");
    }
    TStoredContents stored;
    stored.entries = ContentsOfEpubNavigation(parts_->package.contents);
    if (!stored.entries.empty()) {
        storedContents_ = StoredContentsText(stored);
        pages_.push_back(
            { StoredBookText(kContentsEntryName), storedContents_.size(), [this] { return storedContents_; } });
    }
    std::sort(
        pages_.begin(), pages_.end(), [](const SourcePage& a, const SourcePage& b) { return a.pageName < b.pageName; });
}

void TEpubSource::ApplyDefaults(BuildSettings& settings, std::ostream& out) const
{
    parts_->ApplyDefaults(settings, fs::path(fileName_).stem().string(), out);
}

int32_t TEpubSource::HomeIndex(const BuildSettings& settings) const
{
    std::vector<SourceFile> names;
    for (const SourcePage& page : pages_)
        names.push_back({ {}, page.pageName, page.size });
    return ChooseHomePage(names, settings.home.value_or(parts_->contentsName)).index;
}

std::vector<std::string> TEpubSource::PagesLeftOutOfSearch() const
{
    std::vector<std::string> pages { parts_->contentsName };
    const EpubPackage& package = parts_->package;
    const auto read = [this](const std::string& path) -> std::optional<std::string> {
        const int index = archive_.Find(path);
        return index < 0 ? std::nullopt : std::optional<std::string>(archive_.Read(index));
    };
    for (const std::string& path : EpubOwnContentsPages(package, read))
        pages.push_back(StoredBookText("/" + path));
    if (!package.navPath.empty())
        pages.push_back(StoredBookText("/" + package.navPath));
    return pages;
}

std::optional<EpubBookParts> ReadUnpackedEpub(const fs::path& folder, const std::vector<SourceFile>& files)
{
    // Only the files the folder walk took are read, through the same checks as its pages (regular
    // files, bounded in size): a package document or a navigation file named by path could
    // otherwise be a link out of the folder, a device or a FIFO.
    std::unordered_map<std::string, const SourceFile*> byName;
    std::vector<std::string> names;
    for (const SourceFile& file : files) {
        names.push_back(BookTextToUtf8(file.pageName).substr(1));
        byName.emplace(names.back(), &file);
    }
    if (!byName.contains(std::string(kContainerPath)))
        return std::nullopt;
    return EpubBookParts(
        [&](const std::string& path) -> std::optional<std::string> {
            const auto found = byName.find(path);
            if (found == byName.end())
                return std::nullopt;
            return ReadRegularFile(found->second->path, TZipArchive::kMaxEntrySize);
        },
        names, folder.string());
}
