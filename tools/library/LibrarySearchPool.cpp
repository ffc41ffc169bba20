#include "tools/library/LibrarySearchPool.h"

#include <algorithm>
#include <future>

TSearchPool::TSearchPool(TSearchPoolSize size)
    : threadCount_(std::max<std::size_t>(size.threads, 1))
    , mostQueued_(size.queued)
{
    for (std::size_t i = 0; i < threadCount_; ++i)
        threads_.emplace_back([this] { Serve(); });
}

TSearchPool::~TSearchPool()
{
    {
        std::lock_guard guard(lock_);
        stop_ = true;
    }
    posted_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
}

bool TSearchPool::Post(std::function<void()> job)
{
    {
        std::lock_guard guard(lock_);
        // A job waits only while every thread is busy.
        if (busy_ + queue_.size() >= threadCount_ + mostQueued_)
            return false;
        queue_.push_back(std::move(job));
    }
    posted_.notify_one();
    return true;
}

bool TSearchPool::Run(const std::function<void()>& job)
{
    std::promise<void> done;
    std::future<void> ran = done.get_future();
    const bool posted = Post([&job, &done] {
        try {
            job();
            done.set_value();
        } catch (...) {
            done.set_exception(std::current_exception());
        }
    });
    if (!posted)
        return false;
    ran.get();
    return true;
}

void TSearchPool::WaitUntilIdle()
{
    std::unique_lock guard(lock_);
    idled_.wait(guard, [this] { return queue_.empty() && busy_ == 0; });
}

void TSearchPool::Serve()
{
    std::unique_lock guard(lock_);
    for (;;) {
        posted_.wait(guard, [this] { return stop_ || !queue_.empty(); });
        if (queue_.empty())
            return;
        std::function<void()> job = std::move(queue_.front());
        queue_.pop_front();
        ++busy_;
        guard.unlock();
        try {
            job();
        } catch (...) {
            // Run hands its job's failure to the caller; a posted job's ends with it.
        }
        guard.lock();
        --busy_;
        idled_.notify_all();
    }
}
