#include "server/listener/NetTimer.h"
#include "server/listener/PlatformThread.h"
#include "server/tests/SocketTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST(ThreadTimer, FiresRepeatedlyUntilStoppedAndNotAfter)
{
    TThreadTimer timer;
    std::atomic<int> calls { 0 };
    timer.Start(std::chrono::milliseconds(1), [&] { ++calls; });
    ASSERT_TRUE(Eventually([&] { return calls.load() >= 3; }));
    timer.Stop();
    const int stoppedAt = calls.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(calls.load(), stoppedAt);
}

TEST(ThreadTimer, HandlerMayStopItsOwnTimer)
{
    TThreadTimer timer;
    std::atomic<int> calls { 0 };
    timer.Start(std::chrono::milliseconds(1), [&] {
        ++calls;
        timer.Stop();
    });
    ASSERT_TRUE(Eventually([&] { return calls.load() >= 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(calls.load(), 1);
}

namespace {

class FlagThread : public TThread {
public:
    std::atomic<bool> ran { false };

protected:
    void Execute() override { ran = true; }
};

} // namespace

TEST(PlatformThread, AThreadMarkedStartedIsWaitedForUntilItsBodyHasRun)
{
    // The accept loop lists a session and marks it started before handing its body over; a
    // stopper that finds it listed in between must wait for the body, not free it under the loop.
    FlagThread thread;
    ASSERT_TRUE(thread.MarkStarted());
    EXPECT_FALSE(thread.MarkStarted());
    std::atomic<bool> waited { false };
    std::thread stopper([&] {
        thread.WaitFor();
        waited = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(waited.load());
    thread.Dispatch();
    stopper.join();
    EXPECT_TRUE(thread.ran.load());
    // Resume after the two steps starts nothing a second time.
    thread.ran = false;
    thread.Resume();
    thread.WaitFor();
    EXPECT_FALSE(thread.ran.load());
}
