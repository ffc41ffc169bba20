#include "server/listener/PlatformThread.h"

#include "server/listener/WorkerPool.h"

void TThreadCounter::Enter()
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++count_;
}

void TThreadCounter::Leave()
{
    std::lock_guard<std::mutex> lock(mutex_);
    --count_;
    changed_.notify_all();
}

void TThreadCounter::WaitForZero()
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return count_ == 0; });
}

bool TThreadCounter::WaitForFewerThan(int limit, std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return count_ < limit; });
}

TThread::TThread() = default;

TThread::~TThread()
{
    // A thread freeing itself is past its work; any other is waited for, so that the body never
    // runs on a destroyed object.
    WaitForUnlessSelf();
}

void TThread::Resume()
{
    if (MarkStarted())
        Dispatch();
}

bool TThread::MarkStarted()
{
    std::lock_guard<std::mutex> lock(completion_->mutex);
    if (completion_->started)
        return false;
    if (counter_)
        counter_->Enter();
    completion_->started = true;
    return true;
}

void TThread::Dispatch()
{
    try {
        TWorkerPool::Instance().Run(
            [self = this, completion = completion_, counter = counter_] { Body(self, completion, counter); });
    } catch (...) {
        {
            std::lock_guard<std::mutex> lock(completion_->mutex);
            completion_->finished = true;
        }
        completion_->done.notify_all();
        if (counter_)
            counter_->Leave();
        throw;
    }
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
