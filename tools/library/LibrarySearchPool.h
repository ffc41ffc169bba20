#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// How many searches a library runs at once and how many more wait for a thread.
struct TSearchPoolSize {
    std::size_t threads = 2;
    std::size_t queued = 8;
};

// A few threads that run searches, and a short queue in front of them. A search past the queue is
// refused at once instead of waiting: a server of small machines answers pages quickly while
// readers search, and a reader told to retry in a second costs less than a queue that only grows.
class TSearchPool {
public:
    explicit TSearchPool(TSearchPoolSize size);
    // Runs what is queued already, then joins the threads.
    ~TSearchPool();
    TSearchPool(const TSearchPool&) = delete;
    TSearchPool& operator=(const TSearchPool&) = delete;

    // Queues the job for the next free thread; false, and nothing queued, when the queue is full.
    bool Post(std::function<void()> job);
    // Runs the job on a thread of the pool and returns once it has run; false at once, without
    // running it, when the queue is full.
    bool Run(const std::function<void()>& job);
    // Returns once no job is queued and every thread waits for one (for tests, which then know
    // that the next job is taken).
    void WaitUntilIdle();

private:
    void Serve();

    const std::size_t threadCount_;
    const std::size_t mostQueued_;
    std::mutex lock_;
    std::condition_variable posted_;
    std::condition_variable idled_;
    std::deque<std::function<void()>> queue_; // under lock_
    std::size_t busy_ = 0; // jobs running, under lock_
    bool stop_ = false; // under lock_
    std::vector<std::thread> threads_; // last: started once everything above exists
};
