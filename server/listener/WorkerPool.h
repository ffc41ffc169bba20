#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

// System threads that run thread bodies one after another. A body is handed to a parked thread
// when there is one, else to a new one; a thread parked longer than kIdleLifetime ends.
class TWorkerPool {
public:
    // Never destroyed: parked threads may still be waiting on it while the process exits.
    static TWorkerPool& Instance();

    // Raises std::system_error, with nothing queued, when no system thread can be had.
    void Run(std::function<void()> body);
    // Parked or running a body.
    std::size_t Alive();

private:
    static constexpr std::chrono::seconds kIdleLifetime { 2 };

    void Work();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> bodies_;
    std::size_t parked_ = 0;
    std::size_t alive_ = 0;
};
