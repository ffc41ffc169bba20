#include "sources/EpubBook.h"

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
