#include "sources/EpubBook.h"

#include "common/BookText.h"

#include <filesystem>

namespace {

TContentsEntry ContentsEntryOf(const EpubNavPoint& point)
{
    TContentsEntry entry;
    entry.title = point.label;
    if (!point.path.empty())
        entry.page = StoredBookText("/" + point.path);
    entry.anchor = point.fragment.starts_with('#') ? point.fragment.substr(1) : point.fragment;
    for (const EpubNavPoint& child : point.children)
        entry.children.push_back(ContentsEntryOf(child));
    return entry;
}

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
    TContents contents;
    for (const EpubNavPoint& point : epub_.Package().contents)
        contents.push_back(ContentsEntryOf(point));
    return contents;
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
