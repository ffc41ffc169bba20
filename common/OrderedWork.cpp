#include "common/OrderedWork.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace {

// The state the producing threads and the consuming thread share, under one lock.
class TOrderedSlots {
public:
    TOrderedSlots(std::size_t count, std::size_t window)
        : count_(count)
        , slots_(window)
    {
    }

    // The next index to produce, once its slot is free; nothing when the work is over.
    std::optional<std::size_t> Take()
    {
        std::unique_lock lock(mutex_);
        roomFreed_.wait(lock, [&] { return stopped_ || next_ >= count_ || next_ < consumed_ + slots_.size(); });
        if (stopped_ || next_ >= count_)
            return std::nullopt;
        return next_++;
    }

    void Put(std::size_t index, std::string result)
    {
        const std::lock_guard lock(mutex_);
        slots_[index % slots_.size()] = std::move(result);
        resultReady_.notify_all();
    }

    // The result of the next index in order, waiting for it; nothing when the work stopped.
    std::optional<std::string> Next()
    {
        std::unique_lock lock(mutex_);
        auto& slot = slots_[consumed_ % slots_.size()];
        resultReady_.wait(lock, [&] { return stopped_ || slot.has_value(); });
        if (stopped_)
            return std::nullopt;
        std::string result = std::move(*slot);
        slot.reset();
        ++consumed_;
        roomFreed_.notify_all();
        return result;
    }

    void Fail(std::exception_ptr error)
    {
        const std::lock_guard lock(mutex_);
        if (!error_)
            error_ = error;
        stopped_ = true;
        roomFreed_.notify_all();
        resultReady_.notify_all();
    }

    std::exception_ptr Error()
    {
        const std::lock_guard lock(mutex_);
        return error_;
    }

private:
    std::mutex mutex_;
    std::condition_variable roomFreed_;
    std::condition_variable resultReady_;
    const std::size_t count_;
    std::vector<std::optional<std::string>> slots_;
    std::size_t next_ = 0;
    std::size_t consumed_ = 0;
    bool stopped_ = false;
    std::exception_ptr error_;
};

} // namespace

void RunOrdered(std::size_t count, unsigned threads, std::size_t window,
    const std::function<std::string(std::size_t)>& produce,
    const std::function<void(std::size_t, std::string&&)>& consume)
{
    if (count == 0)
        return;
    threads = std::max(1U, threads);
    TOrderedSlots slots(count, std::max<std::size_t>(window, 1));
    std::vector<std::jthread> workers;
    for (unsigned t = 0; t < std::min<std::size_t>(threads, count); ++t) {
        workers.emplace_back([&] {
            try {
                while (const auto index = slots.Take())
                    slots.Put(*index, produce(*index));
            } catch (...) {
                slots.Fail(std::current_exception());
            }
        });
    }
    try {
        for (std::size_t i = 0; i < count; ++i) {
            auto result = slots.Next();
            if (!result)
                break;
            consume(i, std::move(*result));
        }
    } catch (...) {
        slots.Fail(std::current_exception());
    }
    workers.clear(); // joins
    if (const auto error = slots.Error())
        std::rethrow_exception(error);
}

unsigned WorkerThreadsAvailable()
{
    return std::max(1U, std::thread::hardware_concurrency());
}
