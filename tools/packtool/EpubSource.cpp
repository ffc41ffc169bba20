#include "EpubSource.h"

#include "BookText.h"
#include "ContentsPage.h"
#include "DateText.h"
#include "Exception.h"
#include "HomePage.h"

#include <algorithm>
#include <filesystem>

namespace {

bool IsPackagingFile(const std::string& name, const EpubPackage& package)
{
    return name == "mimetype" || name.starts_with("META-INF/") || name == package.packagePath
        || name == package.ncxPath;
}

// The description as plain text: package documents often carry HTML in it.
std::string WithoutTags(const std::string& text)
{
    std::string plain;
    bool inTag = false;
    for (char c : text) {
        if (c == '<')
            inTag = true;
        else if (c == '>')
            inTag = false;
        else if (!inTag)
            plain += c;
    }
    return plain;
}

std::string Stored(const std::string& utf8)
{
    return Utf8ToBookText(utf8).value_or(BookTextToUtf8(utf8));
}

} // namespace

bool IsEpubFile(const std::string& fileName)
{
    if (!LooksLikeZip(fileName))
        return false;
    const TZipArchive archive(fileName);
    return archive.Find("META-INF/container.xml") >= 0;
}

TEpubSource::TEpubSource(const std::string& fileName)
    : fileName_(fileName)
    , archive_(fileName)
{
    package_ = ReadEpubPackage(
        [&](const std::string& path) -> std::optional<std::string> {
            const int index = archive_.Find(path);
            if (index < 0)
                return std::nullopt;
            return archive_.Read(index);
        },
        fileName);

    std::vector<std::string> names;
    for (const TZipArchive::Entry& entry : archive_.Entries())
        names.push_back(entry.name);
    contentsName_ = "/contents.html";
    for (int n = 2; std::find(names.begin(), names.end(), contentsName_.substr(1)) != names.end(); ++n)
        contentsName_ = "/contents-" + std::to_string(n) + ".html";
    contentsPage_ = EpubContentsPage(package_, [&](const std::string& path) {
        const int index = archive_.Find(path);
        if (index >= 0) {
            if (const auto title = HtmlTitle(archive_.Read(index)))
                return *title;
        }
        return path.substr(path.rfind('/') + 1);
    });

    for (int i = 0; i < static_cast<int>(archive_.Entries().size()); ++i) {
        const TZipArchive::Entry& entry = archive_.Entries()[static_cast<std::size_t>(i)];
        if (IsPackagingFile(entry.name, package_))
            continue;
        const auto stored = Utf8ToBookText("/" + entry.name);
        if (!stored)
            throw Exception("Refusing " + fileName + ": entry name " + entry.name + " is not UTF-8 text");
        pages_.push_back({ *stored, entry.size, [this, i] { return archive_.Read(i); } });
    }
    pages_.push_back({ contentsName_, contentsPage_.size(), [this] { return contentsPage_; } });
    std::sort(
        pages_.begin(), pages_.end(), [](const PageSource& a, const PageSource& b) { return a.pageName < b.pageName; });
}

void TEpubSource::ApplyDefaults(BuildSettings& settings, std::ostream& out) const
{
    BookHeaderSettings& header = settings.header;
    if (!settings.titleSet) {
        const std::string title
            = package_.title.empty() ? std::filesystem::path(fileName_).stem().string() : package_.title;
        header.title = Stored(title);
        out << "Title: " << title << " ("
            << (package_.title.empty() ? "the file's name" : "the EPUB's package document")
            << "; set one with --title)\n";
    }
    if (header.description.empty() && !package_.description.empty())
        header.description = Stored(WithoutTags(package_.description));
    if (!header.hasAboutText && (!package_.creators.empty() || !package_.language.empty())) {
        std::string about;
        for (const std::string& creator : package_.creators)
            about += (about.empty() ? "By " : ", ") + creator;
        if (!package_.language.empty())
            about += (about.empty() ? "" : ". ") + std::string("Language: ") + package_.language;
        header.aboutText = Stored(about);
        header.hasAboutText = true;
    }
    if (!header.hasAboutDate && package_.date.size() >= 4) {
        std::string date = package_.date.substr(0, 10);
        if (date.size() == 4)
            date += "-01-01";
        else if (date.size() == 7)
            date += "-01";
        if (const auto days = ParseIsoDate(date)) {
            header.aboutDate = *days;
            header.hasAboutDate = true;
        }
    }
    if (!settings.home)
        out << "Home page: " << contentsName_ << " (a contents page written from the EPUB's "
            << (package_.contents.empty() ? "reading order" : "navigation") << "; set one with --home)\n";
}

int32_t TEpubSource::HomeIndex(const BuildSettings& settings) const
{
    std::vector<SourceFile> names;
    for (const PageSource& page : pages_)
        names.push_back({ {}, page.pageName, page.size });
    return ChooseHomePage(names, settings.home.value_or(contentsName_)).index;
}
