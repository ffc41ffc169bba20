#include "search/ContentsPlaces.h"

#include "common/BookText.h"
#include "common/DisplayText.h"
#include "html/PageKind.h"
#include "search/SearchIndex.h"

namespace {

const std::vector<std::string> kNowhere;

// The title without the blanks at its ends.
std::string_view Trimmed(std::string_view title)
{
    const std::size_t first = title.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    return title.substr(first, title.find_last_not_of(" \t\r\n") - first + 1);
}

} // namespace

TContentsPlaces::TContentsPlaces(const TContents& contents)
{
    std::vector<std::string> above;
    Walk(contents, above);
}

void TContentsPlaces::Walk(const TContents& contents, std::vector<std::string>& above)
{
    for (const TContentsEntry& entry : contents) {
        // A page's first entry is where it sits; later ones (its sections by anchor) add nothing.
        if (!entry.page.empty())
            places_.try_emplace(FoldedBookText(entry.page), Spot { CutText(entry.title), BoundedBreadcrumb(above) });
        above.push_back(entry.title);
        Walk(entry.children, above);
        above.pop_back();
    }
}

const std::vector<std::string>& TContentsPlaces::Breadcrumb(std::string_view page) const
{
    const auto place = places_.find(FoldedBookText(page));
    return place == places_.end() ? kNowhere : place->second.breadcrumb;
}

std::string TContentsPlaces::EntryTitle(std::string_view page) const
{
    const auto place = places_.find(FoldedBookText(page));
    return place == places_.end() ? std::string() : place->second.title;
}

void TContentsPlaces::Place(SearchHit& hit) const
{
    const auto place = places_.find(FoldedBookText(hit.name));
    if (place == places_.end())
        return;
    PlaceHit(hit, place->second.breadcrumb, place->second.title);
}

void TContentsPlaces::Place(SearchResults& results) const
{
    if (results.placed)
        return;
    for (SearchHit& hit : results.hits)
        Place(hit);
}

std::vector<std::string> BoundedBreadcrumb(const std::vector<std::string>& titles)
{
    std::vector<std::string> bounded;
    const bool cut = titles.size() > kMostBreadcrumbTitles;
    const std::size_t top = cut ? kMostBreadcrumbTitles - 2 : titles.size();
    for (std::size_t i = 0; i < top; ++i)
        bounded.push_back(CutText(titles[i]));
    if (cut) {
        bounded.emplace_back("\xE2\x80\xA6");
        bounded.push_back(CutText(titles.back()));
    }
    return bounded;
}

void PlaceHit(SearchHit& hit, std::vector<std::string> breadcrumb, std::string entryTitle)
{
    hit.breadcrumb = std::move(breadcrumb);
    if (TitleNamesNothing(hit.title) && !entryTitle.empty())
        hit.title = std::move(entryTitle);
}

std::string_view WithoutDanglingSeparators(std::string_view title)
{
    static constexpr std::string_view kSeparators[]
        = { " ", "\t", "\r", "\n", "-", "_", ":", "|", ".", "\u00b7", "\u2013", "\u2014" };
    for (bool cut = true; cut && !title.empty();) {
        cut = false;
        for (const std::string_view separator : kSeparators) {
            if (title.starts_with(separator)) {
                title.remove_prefix(separator.size());
                cut = true;
            }
            if (title.ends_with(separator)) {
                title.remove_suffix(separator.size());
                cut = true;
            }
        }
    }
    return title;
}

bool IsSlugTitle(std::string_view title)
{
    title = Trimmed(title);
    const std::string_view core = WithoutDanglingSeparators(title);
    if (core.empty())
        return false;
    bool joined = false;
    bool afterWord = false;
    for (const char c : core) {
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
            afterWord = true;
        } else if ((c == '-' || c == '_') && afterWord) {
            joined = true;
            afterWord = false;
        } else {
            return false;
        }
    }
    return joined || core.size() != title.size();
}

bool IsFileNameTitle(std::string_view title)
{
    title = Trimmed(title);
    if (title.empty())
        return true;
    if (title.find_first_of(" \t") != std::string_view::npos)
        return false;
    // A name of a page kind the book's pages are read as (a hit is always one), with a stem.
    const std::size_t dot = title.rfind('.');
    return dot != std::string_view::npos && dot != 0 && PageKindOf(title) != PageKind::Other;
}

bool TitleNamesNothing(std::string_view title)
{
    return IsFileNameTitle(title) || IsSlugTitle(title);
}

std::string BreadcrumbLine(const std::vector<std::string>& breadcrumb)
{
    std::string line;
    for (const std::string& title : breadcrumb)
        line += (line.empty() ? "" : " \u203a ") + title;
    return line;
}
