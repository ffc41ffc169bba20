#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// A repeating timer. The listener's session timeout check runs on one; tests give it a timer
// they fire themselves.
class TNetTimer {
public:
    virtual ~TNetTimer() = default;
    // Calls onTimer every interval until Stop or destruction. Stop waits until a call in progress
    // has returned, so nothing the handler uses may be freed before it. A handler may stop its
    // timer, but not restart or destroy it.
    virtual void Start(std::chrono::milliseconds interval, std::function<void()> onTimer) = 0;
    virtual void Stop() = 0;
};

using TNetTimerFactory = std::function<std::unique_ptr<TNetTimer>()>;

// The default timer: a thread of its own that sleeps for the interval between calls.
class TThreadTimer : public TNetTimer {
public:
    TThreadTimer() = default;
    ~TThreadTimer() override { TThreadTimer::Stop(); }
    TThreadTimer(const TThreadTimer&) = delete;
    TThreadTimer& operator=(const TThreadTimer&) = delete;

    void Start(std::chrono::milliseconds interval, std::function<void()> onTimer) override;
    void Stop() override;

private:
    void Loop(std::chrono::milliseconds interval, std::function<void()> onTimer);

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};
