#include "bookpdf/ReadingOrder.h"

#include <algorithm>

TReadingOrder::TReadingOrder(std::vector<int> pages, int home)
    : pages_ { home }
    , isPage_ { home }
    , reached_ { TPlaced { home, -1 } }
{
    for (int page : pages) {
        if (isPage_.insert(page).second)
            pages_.push_back(page);
    }
}

TReadingOrder::TReadingOrder(std::vector<int> pages, const std::vector<int>& linkedBefore)
{
    for (int page : pages) {
        if (isPage_.insert(page).second)
            pages_.push_back(page);
    }
    std::set<int> reached;
    std::vector<int> firstReach;
    for (int link : linkedBefore) {
        if (isPage_.contains(link) && reached.insert(link).second)
            firstReach.push_back(link);
    }
    // Pushed last first, so that the first link is read first.
    for (auto link = firstReach.rbegin(); link != firstReach.rend(); ++link)
        reached_.push_back({ *link, -1 });
}

std::optional<TReadingOrder::TPlaced> TReadingOrder::Next()
{
    while (!reached_.empty()) {
        const TPlaced next = reached_.back();
        reached_.pop_back();
        if (placedPages_.insert(next.Page).second) {
            placed_.push_back(next);
            return next;
        }
    }
    for (; nextUnreached_ < pages_.size(); ++nextUnreached_) {
        const int page = pages_[nextUnreached_];
        if (placedPages_.insert(page).second) {
            placed_.push_back({ page, -1 });
            return placed_.back();
        }
    }
    return std::nullopt;
}

void TReadingOrder::Follow(const std::vector<int>& linked)
{
    if (placed_.empty())
        return;
    const int parent = int(placed_.size()) - 1;
    // Pushed last link first, so that the first link is read first.
    for (auto link = linked.rbegin(); link != linked.rend(); ++link) {
        if (isPage_.contains(*link) && !placedPages_.contains(*link))
            reached_.push_back({ *link, parent });
    }
}
