#include "NetTimer.h"

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
        ending = std::move(thread_);
    }
    wake_.notify_all();
    if (!ending.joinable())
        return;
    // Stopped from its own handler: the loop sees stopping_ and ends once the handler returns.
    if (ending.get_id() == std::this_thread::get_id())
        ending.detach();
    else
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
