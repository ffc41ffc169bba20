#include "server/listener/WorkerPool.h"

#include <thread>

TWorkerPool& TWorkerPool::Instance()
{
    static TWorkerPool* pool = new TWorkerPool;
    return *pool;
}

void TWorkerPool::Run(std::function<void()> body)
{
    bool wakeParked = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // Each parked thread takes one body; more bodies than parked threads need a new thread.
        // It is created before the body is queued, so a failure leaves nothing behind; it waits
        // for the lock held here before looking for work.
        if (bodies_.size() + 1 > parked_) {
            std::thread(&TWorkerPool::Work, this).detach();
            ++alive_;
        } else {
            wakeParked = true;
        }
        bodies_.push_back(std::move(body));
    }
    // Woken after the lock is released, so the parked thread does not wake only to wait for it.
    if (wakeParked)
        wake_.notify_one();
}

std::size_t TWorkerPool::Alive()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return alive_;
}

void TWorkerPool::Work()
{
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
        while (!bodies_.empty()) {
            std::function<void()> body = std::move(bodies_.front());
            bodies_.pop_front();
            lock.unlock();
            body();
            body = nullptr; // whatever the body held goes before the thread parks
            lock.lock();
        }
        ++parked_;
        const bool woken = wake_.wait_for(lock, kIdleLifetime, [this] { return !bodies_.empty(); });
        --parked_;
        if (!woken) {
            --alive_;
            return;
        }
    }
}
