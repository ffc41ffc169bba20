#include "search/tests/AskedWorker.h"

#include <chrono>
#include <utility>

TAskedWorker::TAskedWorker(TBookSource& source)
    : worker_(source)
{
    worker_.OnResults = [this](uint64_t, const SearchResults& results) {
        std::lock_guard guard(lock_);
        if (results.complete)
            complete_ = results;
        changed_.notify_all();
    };
}

std::optional<SearchResults> TAskedWorker::Ask(
    const std::string& typed, int64_t offset, int64_t limit, LastWord last, std::size_t suggestions)
{
    if (!worker_.Started())
        worker_.Start();
    std::unique_lock guard(lock_);
    complete_.reset();
    guard.unlock();
    worker_.Search(typed, offset, limit, last, suggestions);
    guard.lock();
    changed_.wait_for(guard, std::chrono::seconds(60), [&] { return complete_.has_value(); });
    return std::exchange(complete_, std::nullopt);
}
