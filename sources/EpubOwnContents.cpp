#include "sources/EpubOwnContents.h"

#include "html/LinkListTree.h"
#include "html/PageText.h"
#include "html/TextEncoding.h"

#include <algorithm>
#include <iterator>
#include <set>
#include <sstream>

namespace {

// How far into the reading order a contents page of its own is looked for.
constexpr std::size_t kDocumentsLooked = 3;

void AddNavigationDocuments(const std::vector<EpubNavPoint>& points, std::set<std::string>& documents)
{
    for (const EpubNavPoint& point : points) {
        if (!point.path.empty())
            documents.insert(point.path);
        AddNavigationDocuments(point.children, documents);
    }
}

std::size_t WordCount(const std::string& text)
{
    std::istringstream words(text);
    return static_cast<std::size_t>(std::distance(std::istream_iterator<std::string>(words), {}));
}

// A page whose links reach at least a third of the documents the navigation names (three at least)
// and whose words are at least two thirds link text.
bool IsListOfChapters(const std::string& path, const std::string& bytes, const std::set<std::string>& chapters)
{
    const DecodedText text = DecodePageText(bytes, true);
    const LinkListTree links = ReadLinkListTree(text.utf8);
    std::set<std::string> reached;
    std::size_t linkWords = 0;
    for (const LinkWithText& link : links.links) {
        const auto target = ResolveEpubHref(path, link.href, nullptr);
        if (!target || *target == path || !chapters.contains(*target))
            continue;
        reached.insert(*target);
        linkWords += WordCount(link.text);
    }
    if (reached.size() < 3 || reached.size() * 3 < chapters.size())
        return false;
    const auto page = ExtractPageText(path, bytes);
    const std::size_t words = page ? WordCount(page->body) : 0;
    return linkWords * 3 >= words * 2;
}

} // namespace

std::vector<std::string> EpubOwnContentsPages(const EpubPackage& package, const EpubFileReader& read)
{
    std::vector<std::string> pages;
    if (!package.guideContents.empty() && package.guideContents != package.navPath)
        pages.push_back(package.guideContents);
    std::set<std::string> chapters;
    AddNavigationDocuments(package.contents, chapters);
    if (chapters.size() < 3)
        return pages;
    for (std::size_t i = 0; i < std::min(package.spine.size(), kDocumentsLooked); ++i) {
        const std::string& path = package.spine[i];
        if (path == package.navPath || std::find(pages.begin(), pages.end(), path) != pages.end())
            continue;
        if (const auto bytes = read(path); bytes && IsListOfChapters(path, *bytes, chapters))
            pages.push_back(path);
    }
    return pages;
}
