#include "sources/NamedPageCache.h"

#include <vector>

std::shared_ptr<const std::string> TNamedPageCache::Find(std::string_view name)
{
    const std::lock_guard lock(lock_);
    const auto found = index_.find(name);
    if (found == index_.end())
        return nullptr;
    order_.splice(order_.begin(), order_, found->second);
    return found->second->second;
}

void TNamedPageCache::Add(std::string_view name, std::shared_ptr<const std::string> page)
{
    if (!page || page->size() > budget_)
        return;
    // Pages dropped here are let go after the lock is released.
    std::vector<std::shared_ptr<const std::string>> dropped;
    const std::lock_guard lock(lock_);
    if (index_.contains(name))
        return;
    used_ += page->size();
    order_.emplace_front(std::string(name), std::move(page));
    index_.emplace(order_.front().first, order_.begin());
    while (used_ > budget_) {
        Entry& last = order_.back();
        used_ -= last.second->size();
        index_.erase(last.first);
        dropped.push_back(std::move(last.second));
        order_.pop_back();
    }
}

std::size_t TNamedPageCache::UsedBytes() const
{
    const std::lock_guard lock(lock_);
    return used_;
}
