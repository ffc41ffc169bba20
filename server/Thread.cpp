#include "Thread.h"

#include <chrono>
#include <deque>
#include <functional>

void TThreadCounter::Enter()
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++count_;
}

void TThreadCounter::Leave()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (--count_ == 0)
        zero_.notify_all();
}

void TThreadCounter::WaitForZero()
{
    std::unique_lock<std::mutex> lock(mutex_);
    zero_.wait(lock, [this] { return count_ == 0; });
}

namespace {

// System threads that run thread bodies one after another. A body is handed to a parked thread
// when there is one, else to a new one; a thread parked longer than kIdleLifetime ends.
class TWorkerPool {
public:
    static TWorkerPool& Instance()
    {
        // Never destroyed: parked threads may still be waiting on it while the process exits.
        static TWorkerPool* pool = new TWorkerPool;
        return *pool;
    }

    // Raises std::system_error, with nothing queued, when no system thread can be had.
    void Run(std::function<void()> body)
    {
        bool wakeParked = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            // Each parked thread takes one body; more bodies than parked threads need a new
            // thread. It is created before the body is queued, so a failure leaves nothing behind;
            // it waits for the lock held here before looking for work.
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

    std::size_t Alive()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return alive_;
    }

private:
    static constexpr std::chrono::seconds kIdleLifetime { 2 };

    void Work()
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

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> bodies_;
    std::size_t parked_ = 0;
    std::size_t alive_ = 0; // parked or running a body
};

} // namespace

TThread::TThread() = default;

TThread::~TThread()
{
    // A thread freeing itself is past its work; any other is waited for, so that the body never
    // runs on a destroyed object.
    WaitForUnlessSelf();
}

void TThread::Resume()
{
    std::lock_guard<std::mutex> lock(completion_->mutex);
    if (completion_->started)
        return;
    if (counter_)
        counter_->Enter();
    try {
        TWorkerPool::Instance().Run(
            [self = this, completion = completion_, counter = counter_] { Body(self, completion, counter); });
    } catch (...) {
        if (counter_)
            counter_->Leave();
        throw;
    }
    completion_->started = true;
}

std::size_t TThread::PooledSystemThreads()
{
    return TWorkerPool::Instance().Alive();
}

void TThread::Body(TThread* self, std::shared_ptr<Completion> completion, std::shared_ptr<TThreadCounter> counter)
{
    {
        std::lock_guard<std::mutex> lock(completion->mutex);
        completion->id = std::this_thread::get_id();
    }
    try {
        self->Execute();
    } catch (...) {
        // A thread never reports an exception: whatever escapes its work just ends it.
    }
    if (self->FreeOnTerminate())
        delete self;
    {
        std::lock_guard<std::mutex> lock(completion->mutex);
        completion->finished = true;
        // The system thread goes on to other bodies: it is no longer this thread.
        completion->id = std::thread::id();
    }
    completion->done.notify_all();
    if (counter)
        counter->Leave();
}

void TThread::WaitFor()
{
    std::unique_lock<std::mutex> lock(completion_->mutex);
    if (!completion_->started)
        return;
    completion_->done.wait(lock, [this] { return completion_->finished; });
}

std::thread::id TThread::ThreadID() const
{
    std::lock_guard<std::mutex> lock(completion_->mutex);
    return completion_->id;
}

bool TThread::Started() const
{
    std::lock_guard<std::mutex> lock(completion_->mutex);
    return completion_->started;
}

void TThread::WaitForUnlessSelf()
{
    if (ThreadID() != std::this_thread::get_id())
        WaitFor();
}
