#include "pageservice/CompressedBodies.h"

TCompressedBodies::TCompressedBodies(std::size_t capacityBytes)
    : capacity_(capacityBytes)
{
}

std::shared_ptr<const std::string> TCompressedBodies::Find(const std::string& tag)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = byTag_.find(tag);
    if (found == byTag_.end())
        return nullptr;
    order_.splice(order_.begin(), order_, found->second);
    return found->second->body;
}

void TCompressedBodies::Add(const std::string& tag, std::shared_ptr<const std::string> body)
{
    const std::size_t size = body->size() + tag.size();
    if (size > capacity_ / 8)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (byTag_.contains(tag))
        return;
    while (used_ + size > capacity_ && !order_.empty()) {
        const Entry& last = order_.back();
        used_ -= last.body->size() + last.tag.size();
        byTag_.erase(last.tag);
        order_.pop_back();
    }
    order_.push_front({ tag, std::move(body) });
    byTag_[tag] = order_.begin();
    used_ += size;
}

std::size_t TCompressedBodies::UsedBytes() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return used_;
}
