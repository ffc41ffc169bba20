#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

// Counts threads whose bodies have not finished yet, so that an owner can wait until none of them
// runs any of its code, including threads that free themselves.
class TThreadCounter {
public:
    void Enter();
    void Leave();
    void WaitForZero();
    // Waits at most `timeout` until fewer than `limit` are counted; true when so.
    bool WaitForFewerThan(int limit, std::chrono::milliseconds timeout);

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int count_ = 0;
};

// The platform thread: created suspended, started by Resume, asked to stop through the terminate
// flag, waited for with WaitFor. With FreeOnTerminate set, the object deletes itself right after
// Execute ends (it touches nothing afterwards but the shared completion state and the counter,
// which it keeps alive itself). Otherwise whoever deletes the object waits for its body to end.
//
// The body runs on a parked system thread of a process-wide pool rather than on a system thread
// of its own: the server starts one thread per connection, and creating and ending a system
// thread each time cost more than serving the request. A system thread left idle for a while
// ends, so an idle process holds no more threads than before.
class TThread {
public:
    TThread();
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    // Starts the thread; a second call does nothing.
    void Resume();
    // Resume in two steps, for a starter that lists the thread where others may stop it, and
    // would rather not hand the body over (waking a system thread) while it holds that list:
    // after MarkStarted (false when the thread was started before), WaitFor waits for the body,
    // so a stopper never frees the thread between the steps; Dispatch then hands the body over.
    // A Dispatch that fails counts as a body that has ended, and raises.
    bool MarkStarted();
    void Dispatch();
    void Terminate() { terminated_.store(true); }
    bool Terminated() const { return terminated_.load(); }
    // Returns when Execute has ended (at once for a thread never started). Not for FreeOnTerminate
    // threads, which may be gone by then.
    void WaitFor();
    bool FreeOnTerminate() const { return freeOnTerminate_.load(); }
    void SetFreeOnTerminate(bool value) { freeOnTerminate_.store(value); }
    // The system thread that runs the body while it runs; no thread's identifier before the body
    // starts and after it ends, so it matches the caller exactly when the caller is this thread.
    std::thread::id ThreadID() const;
    bool Started() const;
    // The pool's system threads now alive, parked or running a body; an idle process comes back
    // to 0 once the parked ones have timed out.
    static std::size_t PooledSystemThreads();
    // Set before Resume: the counter counts this thread until its body has finished.
    void SetCounter(std::shared_ptr<TThreadCounter> counter) { counter_ = std::move(counter); }

protected:
    virtual void Execute() = 0;
    // For destructors of subclasses: waits until the thread has ended unless the caller is the
    // thread itself (freeing itself), so that members are not freed under a running body.
    void WaitForUnlessSelf();

private:
    struct Completion {
        std::mutex mutex;
        std::condition_variable done;
        bool started = false;
        bool finished = false;
        std::thread::id id;
    };
    static void Body(TThread* self, std::shared_ptr<Completion> completion, std::shared_ptr<TThreadCounter> counter);

    std::shared_ptr<Completion> completion_ = std::make_shared<Completion>();
    std::shared_ptr<TThreadCounter> counter_;
    std::atomic<bool> terminated_ { false };
    std::atomic<bool> freeOnTerminate_ { false };
};
