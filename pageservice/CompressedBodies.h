#pragma once

#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

// Compressed bodies kept by their representation's tag, so that a page asked for again is not
// compressed again: at most capacityBytes in all, the least recently used going first. A body
// larger than an eighth of the capacity is not kept (it would push out many small pages).
// Safe on several threads at once.
class TCompressedBodies {
public:
    explicit TCompressedBodies(std::size_t capacityBytes);

    std::shared_ptr<const std::string> Find(const std::string& tag);
    void Add(const std::string& tag, std::shared_ptr<const std::string> body);
    std::size_t UsedBytes() const;

private:
    struct Entry {
        std::string tag;
        std::shared_ptr<const std::string> body;
    };

    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::list<Entry> order_; // most recently used first
    std::unordered_map<std::string, std::list<Entry>::iterator> byTag_;
    std::size_t used_ = 0;
};
