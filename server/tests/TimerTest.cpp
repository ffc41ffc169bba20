#include "NetTimer.h"
#include "SocketTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>

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
