#include "sources/ContentsReading.h"

#include "common/AnsiText.h"
#include "common/BookText.h"
#include "html/LinkListTree.h"
#include "html/PageKind.h"
#include "html/PageText.h"
#include "html/TextEncoding.h"
#include "sources/LinkResolution.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <set>
#include <unordered_map>

namespace {

// More entries than any real book has; the rest is left out.
constexpr std::size_t kMaxEntries = 100000;
// Pages a home page may name as its table of contents, by file name without extension.
constexpr std::size_t kMaxContentsPages = 3;

std::string FileNameOf(const std::string& page)
{
    const std::size_t slash = page.rfind('/');
    return slash == std::string::npos ? page : page.substr(slash + 1);
}

std::string StemOf(const std::string& page)
{
    const std::string file = LowerCaseAscii(FileNameOf(page));
    const std::size_t dot = file.find('.');
    return dot == std::string::npos ? file : file.substr(0, dot);
}

// Pages read while the contents are worked out, each decoded once.
class TPageLinksCache {
public:
    explicit TPageLinksCache(const TContentsBook& book)
        : book_(book)
    {
    }

    const LinkListTree* Links(const std::string& page)
    {
        if (const auto found = links_.find(page); found != links_.end())
            return &found->second;
        const auto bytes = book_.read(page);
        if (!bytes)
            return nullptr;
        return &links_.emplace(page, ReadLinkListTree(DecodePageText(*bytes, true).utf8)).first->second;
    }

    // The page's "next" link. The rest of what the page links is not kept, unless it already was:
    // a chain of pages of many links each would otherwise stay in memory whole.
    std::optional<std::string> NextHref(const std::string& page) const
    {
        if (const auto found = links_.find(page); found != links_.end())
            return found->second.nextHref;
        const auto bytes = book_.read(page);
        if (!bytes)
            return std::nullopt;
        return ReadLinkListTree(DecodePageText(*bytes, true).utf8).nextHref;
    }

private:
    const TContentsBook& book_;
    std::map<std::string, LinkListTree> links_;
};

// A place in the book a link leads to, as stored, when it is an HTML page of the book. A link to a
// folder leads to its index page, as a web server answers it. A contents page links each page many
// times (its sections): each page is looked up once.
class TPlaceFinder {
public:
    explicit TPlaceFinder(const TContentsBook& book)
        : book_(book)
    {
    }

    std::optional<TPagePlace> Place(const std::string& base, const std::string& href)
    {
        auto place = ResolvePageLink(base, href);
        if (!place)
            return std::nullopt;
        auto [known, added] = stored_.try_emplace(place->page);
        if (added)
            known->second = StoredPage(place->page);
        if (!known->second)
            return std::nullopt;
        place->page = *known->second;
        return place;
    }

private:
    std::optional<std::string> StoredPage(const std::string& page) const
    {
        static constexpr std::string_view kFolderPages[] = { "index.html", "index.htm" };
        std::vector<std::string> tries;
        if (page.ends_with('/')) {
            for (const std::string_view index : kFolderPages)
                tries.push_back(page + std::string(index));
        } else {
            tries.push_back(page);
            for (const std::string_view index : kFolderPages)
                tries.push_back(page + "/" + std::string(index));
        }
        for (const std::string& name : tries) {
            const auto stored = book_.find(name);
            if (stored && IsMarkupPage(*stored))
                return stored;
        }
        return std::nullopt;
    }

    const TContentsBook& book_;
    std::unordered_map<std::string, std::optional<std::string>> stored_;
};

class TListConverter {
public:
    TListConverter(TPlaceFinder& places, std::string base)
        : places_(places)
        , base_(std::move(base))
    {
    }

    TContents Convert(const std::vector<LinkListItem>& items)
    {
        TContents entries;
        for (const LinkListItem& item : items) {
            if (count_ >= kMaxEntries)
                break;
            TContentsEntry entry;
            if (const auto place = item.href.empty() ? std::nullopt : places_.Place(base_, item.href)) {
                entry.page = place->page;
                entry.anchor = place->anchor;
                pages_.insert(LowerCaseAscii(place->page));
            }
            entry.title = !item.linkText.empty() && !entry.page.empty() ? item.linkText : item.ownText;
            if (entry.title.empty())
                entry.title = FileNameOf(entry.page);
            ++count_;
            entry.children = Convert(item.children);
            if (!entry.page.empty() || (!entry.children.empty() && !item.ownText.empty())) {
                entries.push_back(std::move(entry));
            } else if (!entries.empty() && item.ownText.empty()) {
                // A list in an item of its own (mdBook's sections) belongs to the entry before it.
                auto& owner = entries.back().children;
                std::move(entry.children.begin(), entry.children.end(), std::back_inserter(owner));
            } else {
                std::move(entry.children.begin(), entry.children.end(), std::back_inserter(entries));
            }
        }
        return entries;
    }

    std::size_t PagesCovered() const { return pages_.size(); }

private:
    TPlaceFinder& places_;
    const std::string base_;
    std::set<std::string> pages_;
    std::size_t count_ = 0;
};

struct TCandidate {
    TContents entries;
    std::size_t pages = 0;
};

// The list group, on the home page or a contents page it links to, that covers the most pages.
TCandidate BestLists(const TContentsBook& book, TPageLinksCache& cache, TPlaceFinder& places)
{
    std::vector<std::string> candidates { book.home };
    if (const LinkListTree* home = cache.Links(book.home)) {
        for (const LinkWithText& link : home->links) {
            const auto place = places.Place(book.home, link.href);
            if (!place || candidates.size() > kMaxContentsPages)
                continue;
            const std::string stem = StemOf(place->page);
            if ((stem == "contents" || stem == "toc")
                && std::find(candidates.begin(), candidates.end(), place->page) == candidates.end())
                candidates.push_back(place->page);
        }
    }
    TCandidate best;
    for (const std::string& page : candidates) {
        const LinkListTree* links = cache.Links(page);
        if (links == nullptr)
            continue;
        for (const auto& group : links->listGroups) {
            TListConverter converter(places, page);
            TContents entries = converter.Convert(group);
            if (converter.PagesCovered() > best.pages)
                best = { std::move(entries), converter.PagesCovered() };
        }
    }
    return best;
}

std::string PageTitle(const TContentsBook& book, const std::string& page)
{
    if (const auto bytes = book.read(page)) {
        if (const auto text = ExtractPageText(page, *bytes); text && !text->title.empty())
            return text->title.substr(0, 1024);
    }
    return FileNameOf(page);
}

TContents NextChain(const TContentsBook& book, TPageLinksCache& cache, TPlaceFinder& places)
{
    TContents entries;
    std::set<std::string> seen;
    std::string page = book.home;
    while (entries.size() < std::min(book.pageCount, kMaxEntries) && seen.insert(LowerCaseAscii(page)).second) {
        entries.push_back({ PageTitle(book, page), page, {}, {} });
        const std::optional<std::string> nextHref = cache.NextHref(page);
        if (!nextHref || nextHref->empty())
            break;
        const auto next = places.Place(page, *nextHref);
        if (!next)
            break;
        page = next->page;
    }
    return entries;
}

TContents HomeLinks(const TContentsBook& book, TPageLinksCache& cache, TPlaceFinder& places)
{
    TContents entries;
    const LinkListTree* links = cache.Links(book.home);
    if (links == nullptr)
        return entries;
    std::set<std::string> seen { LowerCaseAscii(book.home) };
    for (const LinkWithText& link : links->links) {
        const auto place = places.Place(book.home, link.href);
        if (!place || !seen.insert(LowerCaseAscii(place->page)).second)
            continue;
        entries.push_back({ link.text.empty() ? FileNameOf(place->page) : link.text, place->page, {}, {} });
        if (entries.size() >= kMaxEntries)
            break;
    }
    return entries;
}

void NumberPages(const TContents& entries, std::size_t& ordinal, std::map<std::string, std::size_t>& firstEntry)
{
    for (const TContentsEntry& entry : entries) {
        if (!entry.page.empty())
            firstEntry.emplace(LowerCaseAscii(entry.page), ordinal);
        ++ordinal;
        NumberPages(entry.children, ordinal, firstEntry);
    }
}

void AddPending(TContents& entries, std::size_t& ordinal, std::map<std::size_t, TContents>& pending)
{
    for (TContentsEntry& entry : entries) {
        const std::size_t own = ordinal++;
        AddPending(entry.children, ordinal, pending);
        if (const auto found = pending.find(own); found != pending.end())
            std::move(found->second.begin(), found->second.end(), std::back_inserter(entry.children));
    }
}

// Pages the lists do not name but the next chain reaches go below the last entry the chain passed
// before them, as a chapter's sections follow the chapter.
void MergeChain(TContents& entries, const TContents& chain, const std::string& home)
{
    std::map<std::string, std::size_t> firstEntry;
    std::size_t ordinal = 0;
    NumberPages(entries, ordinal, firstEntry);
    std::map<std::size_t, TContents> pending;
    std::optional<std::size_t> last;
    TContents unplaced;
    for (const TContentsEntry& page : chain) {
        if (LowerCaseAscii(page.page) == LowerCaseAscii(home))
            continue;
        if (const auto found = firstEntry.find(LowerCaseAscii(page.page)); found != firstEntry.end())
            last = found->second;
        else
            (last ? pending[*last] : unplaced).push_back(page);
    }
    ordinal = 0;
    AddPending(entries, ordinal, pending);
    entries.insert(entries.begin(), std::make_move_iterator(unplaced.begin()), std::make_move_iterator(unplaced.end()));
}

void CollectInOrder(const TContents& entries, std::vector<const TContentsEntry*>& order,
    std::set<std::pair<std::string, std::string>>& seen)
{
    for (const TContentsEntry& entry : entries) {
        if (entry.page.empty() || seen.insert({ LowerCaseAscii(entry.page), entry.anchor }).second)
            order.push_back(&entry);
        CollectInOrder(entry.children, order, seen);
    }
}

} // namespace

TContents ReadContentsFromPages(const TContentsBook& book)
{
    if (book.home.empty())
        return {};
    TPageLinksCache cache(book);
    TPlaceFinder places(book);
    TCandidate lists = BestLists(book, cache, places);
    const LinkListTree* home = cache.Links(book.home);
    TContents chain;
    if (home != nullptr && !home->nextHref.empty())
        chain = NextChain(book, cache, places);
    // Lists that name a small share of what the chain reaches are a navigation bar.
    if (lists.pages >= 2 && lists.pages * 20 >= chain.size()) {
        MergeChain(lists.entries, chain, book.home);
        return std::move(lists.entries);
    }
    if (chain.size() >= 2)
        return chain;
    return HomeLinks(book, cache, places);
}

std::vector<const TContentsEntry*> ContentsInReadingOrder(const TContents& contents)
{
    std::vector<const TContentsEntry*> order;
    std::set<std::pair<std::string, std::string>> seen;
    CollectInOrder(contents, order, seen);
    return order;
}

std::size_t CountEntries(const TContents& contents)
{
    std::size_t count = 0;
    for (const TContentsEntry& entry : contents)
        count += 1 + CountEntries(entry.children);
    return count;
}

std::size_t ContentsDepth(const TContents& contents)
{
    std::size_t depth = 0;
    for (const TContentsEntry& entry : contents)
        depth = std::max(depth, 1 + ContentsDepth(entry.children));
    return depth;
}
