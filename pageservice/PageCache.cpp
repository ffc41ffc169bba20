#include "PageCache.h"

std::shared_ptr<const std::string> TPageCache::Find(int pageIndex)
{
    const auto found = index_.find(pageIndex);
    if (found == index_.end())
        return nullptr;
    order_.splice(order_.begin(), order_, found->second);
    return found->second->second;
}

void TPageCache::Add(int pageIndex, std::shared_ptr<const std::string> page)
{
    if (!page || page->size() > budget_ || index_.contains(pageIndex))
        return;
    while (used_ + page->size() > budget_) {
        used_ -= order_.back().second->size();
        index_.erase(order_.back().first);
        order_.pop_back();
    }
    used_ += page->size();
    order_.emplace_front(pageIndex, std::move(page));
    index_[pageIndex] = order_.begin();
}
