#pragma once

#include <cstddef>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

// Inflated pages kept in memory by directory index, within a byte budget; the page used least
// recently leaves first. A book never changes while it is open, so a kept page is exactly what a
// fresh extraction would give. Not locked: the page service uses it under its own lock.
class TPageCache {
public:
    explicit TPageCache(std::size_t budgetBytes)
        : budget_(budgetBytes)
    {
    }

    // The kept page, now the most recently used; null when it is not kept.
    std::shared_ptr<const std::string> Find(int pageIndex);
    // Keeps the page, making room by dropping the least recently used ones, which are handed back
    // so that the caller lets them go when it likes (outside its lock). A page larger than the
    // whole budget is not kept.
    std::vector<std::shared_ptr<const std::string>> Add(int pageIndex, std::shared_ptr<const std::string> page);
    // Drops every page, handing them back as Add does.
    std::vector<std::shared_ptr<const std::string>> Clear();

    std::size_t UsedBytes() const { return used_; }
    std::size_t Budget() const { return budget_; }
    std::size_t Count() const { return index_.size(); }

private:
    using Entry = std::pair<int, std::shared_ptr<const std::string>>;

    std::size_t budget_;
    std::size_t used_ = 0;
    std::list<Entry> order_; // most recently used first
    std::unordered_map<int, std::list<Entry>::iterator> index_;
};
