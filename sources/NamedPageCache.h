#pragma once

#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

// Pages read from an archive kept by name within a byte budget, the least recently used leaving
// first, so that a page asked for again is answered without reading and inflating it anew. An
// archive never changes while it is open, so a kept page is what a fresh read would give. Safe on
// several threads at once.
class TNamedPageCache {
public:
    explicit TNamedPageCache(std::size_t budgetBytes)
        : budget_(budgetBytes)
    {
    }

    // The kept page, now the most recently used; null when it is not kept.
    std::shared_ptr<const std::string> Find(std::string_view name);
    // Keeps the page unless it is larger than the whole budget, dropping the least recently used.
    void Add(std::string_view name, std::shared_ptr<const std::string> page);

    std::size_t UsedBytes() const;

private:
    using Entry = std::pair<std::string, std::shared_ptr<const std::string>>;

    const std::size_t budget_;
    mutable std::mutex lock_;
    std::size_t used_ = 0;
    std::list<Entry> order_; // most recently used first
    std::unordered_map<std::string_view, std::list<Entry>::iterator> index_; // views of order_'s names
};
