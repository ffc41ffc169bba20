#include "server/listener/NetTimer.h"

void TThreadTimer::Start(std::chrono::milliseconds interval, std::function<void()> onTimer)
{
    Stop();
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = false;
    thread_ = std::thread(&TThreadTimer::Loop, this, interval, std::move(onTimer));
}

void TThreadTimer::Stop()
{
    std::thread ending;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        // Stopped from its own handler: the loop ends once the handler returns, and the thread is
        // joined by the destructor (or a later Stop) on another thread.
        if (thread_.get_id() != std::this_thread::get_id())
            ending = std::move(thread_);
    }
    wake_.notify_all();
    if (ending.joinable())
        ending.join();
}

void TThreadTimer::Loop(std::chrono::milliseconds interval, std::function<void()> onTimer)
{
    std::unique_lock<std::mutex> lock(mutex_);
    while (!wake_.wait_for(lock, interval, [this] { return stopping_; })) {
        lock.unlock();
        try {
            onTimer();
        } catch (...) {
            // A failing check must not end the timer thread with an uncaught exception.
        }
        lock.lock();
    }
}
