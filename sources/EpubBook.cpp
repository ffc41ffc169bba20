#include "sources/EpubBook.h"

#include "common/BookText.h"
#include "sources/EpubNavContents.h"

#include <filesystem>

namespace {

// Package documents often carry HTML in the description.
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

// The media type of a picture by its file name's extension; empty for one that is none.
std::string PictureType(const std::string& path)
{
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == ".png")
        return "image/png";
    if (extension == ".jpg" || extension == ".jpeg")
        return "image/jpeg";
    if (extension == ".gif")
        return "image/gif";
    if (extension == ".svg")
        return "image/svg+xml";
    if (extension == ".webp")
        return "image/webp";
    return {};
}

} // namespace

TEpubBook::TEpubBook(const std::string& fileName)
    : fileName_(fileName)
    , epub_(fileName)
{
    SetPages(epub_.Pages());
}

std::string TEpubBook::Title() const
{
    const std::string& title = epub_.Package().title;
    return title.empty() ? std::filesystem::path(fileName_).stem().string() : title;
}

std::string TEpubBook::HomePageName() const
{
    return epub_.ContentsName();
}

TContents TEpubBook::Contents() const
{
    return ContentsOfEpubNavigation(epub_.Package().contents);
}

std::string TEpubBook::Language() const
{
    return epub_.Package().language;
}

std::string TEpubBook::Description() const
{
    const EpubPackage& package = epub_.Package();
    if (!package.description.empty())
        return WithoutTags(package.description);
    std::string creators;
    for (const std::string& creator : package.creators)
        creators += (creators.empty() ? "By " : ", ") + creator;
    return creators;
}

std::vector<std::string> TEpubBook::Authors() const
{
    return epub_.Package().creators;
}

std::optional<TBookPicture> TEpubBook::Picture()
{
    const std::string& cover = epub_.Package().coverImage;
    const std::string type = PictureType(cover);
    if (cover.empty() || type.empty())
        return std::nullopt;
    try {
        const TPageLookup found = Lookup(StoredBookText("/" + cover));
        if (found.bytes && !found.bytes->empty())
            return TBookPicture { *found.bytes, type };
    } catch (const std::exception&) {
        // A cover that cannot be read: the book is shown without it.
    }
    return std::nullopt;
}

std::vector<std::string> TEpubBook::SpinePageNames() const
{
    std::vector<std::string> names;
    for (const std::string& path : epub_.Package().spine) {
        // A spine item the archive lacks, or one named in no text, is no page to read.
        if (const auto stored = Utf8ToBookText("/" + path); stored && IndexOf(*stored) >= 0)
            names.push_back(*stored);
    }
    return names;
}

bool TEpubBook::IsNavigationPage(std::string_view name) const
{
    const std::string folded = FoldedBookText(name);
    if (folded == FoldedBookText(epub_.ContentsName()))
        return true;
    const std::string& nav = epub_.Package().navPath;
    if (nav.empty())
        return false;
    const auto stored = Utf8ToBookText("/" + nav);
    return stored && folded == FoldedBookText(*stored);
}

bool TEpubBook::IsLeftOutOfSearch(std::string_view name) const
{
    std::call_once(leftOutFound_, [this] {
        for (const std::string& page : epub_.PagesLeftOutOfSearch())
            leftOut_.insert(FoldedBookText(page));
    });
    return leftOut_.contains(FoldedBookText(name));
}

std::string TEpubBook::OpeningPageName() const
{
    for (const std::string& name : SpinePageNames()) {
        if (!IsNavigationPage(name))
            return name;
    }
    return HomePageName();
}
