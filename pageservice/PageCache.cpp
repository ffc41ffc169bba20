#include "pageservice/PageCache.h"

std::shared_ptr<const std::string> TPageCache::Find(int pageIndex)
{
    const auto found = index_.find(pageIndex);
    if (found == index_.end())
        return nullptr;
    order_.splice(order_.begin(), order_, found->second);
    return found->second->second;
}

std::vector<std::shared_ptr<const std::string>> TPageCache::Add(int pageIndex, std::shared_ptr<const std::string> page)
{
    std::vector<std::shared_ptr<const std::string>> dropped;
    if (!page || page->size() > budget_ || index_.contains(pageIndex))
        return dropped;
    while (used_ + page->size() > budget_) {
        used_ -= order_.back().second->size();
        index_.erase(order_.back().first);
        dropped.push_back(std::move(order_.back().second));
        order_.pop_back();
    }
    used_ += page->size();
    order_.emplace_front(pageIndex, std::move(page));
    index_[pageIndex] = order_.begin();
    return dropped;
}

std::vector<std::shared_ptr<const std::string>> TPageCache::Clear()
{
    std::vector<std::shared_ptr<const std::string>> dropped;
    for (auto& entry : order_)
        dropped.push_back(std::move(entry.second));
    order_.clear();
    index_.clear();
    used_ = 0;
    return dropped;
}
