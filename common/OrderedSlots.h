#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

// The ring that lets producing threads work ahead of one consumer while the consumer still takes
// results strictly in index order: producers take indexes 0 .. count-1 as slots come free and put
// each result in its slot; the consumer takes them in order. At most `window` results wait (or are
// being produced) beside the one being consumed, which bounds the memory the work holds. With a
// weight (the bytes an index's work will hold), the indexes taken and not yet consumed also stay
// within `budget` bytes, one of them at least, however heavy: many small results may run far ahead
// of a slow one, a few large ones may not.
template <typename Result> class TOrderedSlots {
public:
    TOrderedSlots(std::size_t count, std::size_t window, std::size_t budget = SIZE_MAX,
        std::function<std::size_t(std::size_t)> weight = {})
        : count_(count)
        , slots_(window < 1 ? 1 : window)
        , budget_(budget)
        , weight_(std::move(weight))
    {
    }

    // The next index to produce, once its slot is free; nothing when the work is over or stopped.
    std::optional<std::size_t> Take()
    {
        std::unique_lock lock(mutex_);
        roomFreed_.wait(lock,
            [&] { return stopped_ || next_ >= count_ || (next_ < consumed_ + slots_.size() && WithinBudget(next_)); });
        if (stopped_ || next_ >= count_)
            return std::nullopt;
        held_ += WeightOf(next_);
        return next_++;
    }

    void Put(std::size_t index, Result result)
    {
        const std::lock_guard lock(mutex_);
        slots_[index % slots_.size()] = std::move(result);
        resultReady_.notify_all();
    }

    // The result of the next index in order, waiting for it; nothing when the work was stopped.
    std::optional<Result> Next()
    {
        std::unique_lock lock(mutex_);
        auto& slot = slots_[consumed_ % slots_.size()];
        resultReady_.wait(lock, [&] { return stopped_ || slot.has_value(); });
        if (stopped_)
            return std::nullopt;
        std::optional<Result> result;
        result.swap(slot);
        held_ -= WeightOf(consumed_);
        ++consumed_;
        roomFreed_.notify_all();
        return result;
    }

    // Wakes every waiting producer and the consumer with nothing; the first error given is kept.
    void Stop(std::exception_ptr error = nullptr)
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
    std::size_t WeightOf(std::size_t index) const { return weight_ ? weight_(index) : 0; }
    bool WithinBudget(std::size_t index) const { return next_ == consumed_ || held_ + WeightOf(index) <= budget_; }

    std::mutex mutex_;
    std::condition_variable roomFreed_;
    std::condition_variable resultReady_;
    const std::size_t count_;
    std::vector<std::optional<Result>> slots_;
    std::size_t next_ = 0;
    std::size_t consumed_ = 0;
    const std::size_t budget_;
    const std::function<std::size_t(std::size_t)> weight_;
    std::size_t held_ = 0; // the weight of the indexes taken and not yet consumed
    bool stopped_ = false;
    std::exception_ptr error_;
};
