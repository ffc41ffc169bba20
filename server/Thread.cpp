#include "Thread.h"

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

TThread::TThread() = default;

TThread::~TThread()
{
    // A thread that frees itself has detached; any other is joined here, unless this is its own
    // thread deleting it (then it is detached and ends right after).
    if (thread_.joinable()) {
        if (thread_.get_id() == std::this_thread::get_id()) {
            thread_.detach();
        } else {
            WaitFor();
            thread_.join();
        }
    }
}

void TThread::Resume()
{
    std::lock_guard<std::mutex> lock(completion_->mutex);
    if (completion_->started)
        return;
    completion_->started = true;
    if (counter_)
        counter_->Enter();
    // Under the lock: the body waits for it, so thread_ is assigned before the body can use it.
    thread_ = std::thread(&TThread::Body, this, completion_, counter_);
    completion_->id = thread_.get_id();
}

void TThread::Body(TThread* self, std::shared_ptr<Completion> completion, std::shared_ptr<TThreadCounter> counter)
{
    {
        std::lock_guard<std::mutex> lock(completion->mutex);
    }
    try {
        self->Execute();
    } catch (...) {
        // A thread never reports an exception: whatever escapes its work just ends it.
    }
    if (self->FreeOnTerminate()) {
        self->thread_.detach();
        delete self;
    }
    {
        std::lock_guard<std::mutex> lock(completion->mutex);
        completion->finished = true;
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
