#include "server/socket/BulkSending.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The calling thread's time slice in nanoseconds as the scheduler reports it (sched_getattr(2)).
uint64_t ThreadSlice()
{
    struct {
        uint32_t size;
        uint32_t policy;
        uint64_t flags;
        int32_t nice;
        uint32_t priority;
        uint64_t runtime;
        uint64_t deadline;
        uint64_t period;
    } attributes {};
    EXPECT_EQ(syscall(SYS_sched_getattr, 0, &attributes, sizeof attributes, 0), 0);
    return attributes.runtime;
}

} // namespace

TEST(BulkSending, OnlyALargeAnswerLengthensTheSliceAndOnlyWhileItIsSent)
{
    const uint64_t usual = ThreadSlice();
    {
        const TBulkSendingScope small(TBulkSendingScope::kBulkBytes - 1);
        EXPECT_EQ(ThreadSlice(), usual);
    }
    uint64_t duringLarge = 0;
    {
        const TBulkSendingScope large(TBulkSendingScope::kBulkBytes);
        duringLarge = ThreadSlice();
    }
    EXPECT_EQ(ThreadSlice(), usual);
    // A system that knows no slice per thread reports the usual one throughout.
    if (duringLarge == usual)
        GTEST_SKIP() << "no time slice per thread on this system";
    EXPECT_GT(duringLarge, usual);
}
