#include "sources/ReadingPages.h"

#include "common/BookText.h"
#include "html/PageKind.h"
#include "sources/ContentsReading.h"
#include "sources/EpubBook.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

std::vector<std::string> SpinePagesOf(const TBookSource& source)
{
    const auto* epub = dynamic_cast<const TEpubBook*>(&source);
    return epub != nullptr ? epub->SpinePageNames() : std::vector<std::string>();
}

bool IsNavigationPage(const TBookSource& source, std::string_view name)
{
    const auto* epub = dynamic_cast<const TEpubBook*>(&source);
    return epub != nullptr && epub->IsNavigationPage(name);
}

bool IsLeftOutOfSearch(const TBookSource& source, std::string_view name)
{
    const auto* epub = dynamic_cast<const TEpubBook*>(&source);
    return epub != nullptr && epub->IsLeftOutOfSearch(name);
}

std::string OpeningPageOf(const TBookSource& source)
{
    const auto* epub = dynamic_cast<const TEpubBook*>(&source);
    return epub != nullptr ? epub->OpeningPageName() : source.HomePageName();
}

std::string ReadingPageKey(std::string_view page)
{
    page = page.substr(0, page.find('#'));
    for (;;) {
        if (page.starts_with('/'))
            page.remove_prefix(1);
        else if (page.starts_with("./"))
            page.remove_prefix(2);
        else
            break;
    }
    std::string key(page);
    std::transform(key.begin(), key.end(), key.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
    return key;
}

TReadingPages PagesInReadingOrder(const TBookSource& source, const TContents& contents)
{
    TReadingPages order;
    std::unordered_set<std::string> placed;
    const auto readable = [&](const std::string& utf8) {
        return !utf8.empty() && !IsNavigationPage(source, StoredBookText(utf8))
            && !placed.contains(ReadingPageKey(utf8));
    };
    std::vector<std::string> named;
    for (const TContentsEntry* entry : ContentsInReadingOrder(contents)) {
        if (readable(entry->page)) {
            placed.insert(ReadingPageKey(entry->page));
            named.push_back(entry->page);
        }
    }
    order.chapters = int(named.size());
    for (std::size_t i = 0; i < named.size(); ++i)
        order.pages.push_back({ named[i], int(i) + 1 });

    const std::vector<std::string> spine = SpinePagesOf(source);
    if (!spine.empty()) {
        // Each page the contents leave out goes after the spine's page before it.
        std::string after; // the key of the last spine page placed; empty: the start
        for (const std::string& stored : spine) {
            const std::string page = BookTextToUtf8(stored);
            if (readable(page)) {
                const auto at = after.empty()
                    ? order.pages.begin()
                    : std::find_if(order.pages.begin(), order.pages.end(), [&](const TReadingPage& p) {
                          return ReadingPageKey(p.page) == after;
                      }) + 1;
                const int chapter = at == order.pages.begin() ? 0 : (at - 1)->chapter;
                order.pages.insert(at, { page, chapter });
                placed.insert(ReadingPageKey(page));
            }
            if (placed.contains(ReadingPageKey(page)))
                after = ReadingPageKey(page);
        }
        return order;
    }

    const std::string home = BookTextToUtf8(source.HomePageName());
    if (readable(home)) {
        order.pages.insert(order.pages.begin(), { home, 0 });
        placed.insert(ReadingPageKey(home));
    }
    if (source.CountedArticles())
        return order;
    for (const std::string& stored : source.PageNames()) {
        const std::string page = BookTextToUtf8(stored);
        if (IsMarkupPage(page) && readable(page)) {
            order.pages.push_back({ page, order.chapters });
            placed.insert(ReadingPageKey(page));
        }
    }
    return order;
}
