#include "common/OrderedWork.h"
#include "common/Exception.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

TEST(OrderedWork, ConsumesInIndexOrderWithinTheWindowWhateverTheThreads)
{
    for (unsigned threads : { 1U, 4U }) {
        std::atomic<int> outstanding { 0 };
        std::atomic<int> mostOutstanding { 0 };
        std::vector<std::string> consumed;
        RunOrdered(
            200, threads, 6,
            [&](std::size_t i) {
                const int now = ++outstanding;
                int seen = mostOutstanding.load();
                while (now > seen && !mostOutstanding.compare_exchange_weak(seen, now)) { }
                // Early indices take longest, so later ones finish first and must wait their turn.
                if (i % 7 == 0)
                    std::this_thread::yield();
                return std::to_string(i);
            },
            [&](std::size_t i, std::string&& result) {
                EXPECT_EQ(result, std::to_string(i));
                consumed.push_back(std::move(result));
                --outstanding;
            });
        ASSERT_EQ(consumed.size(), 200U);
        EXPECT_EQ(consumed.front(), "0");
        EXPECT_EQ(consumed.back(), "199");
        EXPECT_LE(mostOutstanding.load(), 7) << threads << " threads: the window and the one being consumed";
    }
}

TEST(OrderedWork, TheFirstFailureStopsTheWorkAndReachesTheCaller)
{
    std::size_t consumedCount = 0;
    EXPECT_THROW(RunOrdered(
                     1000, 3, 4,
                     [](std::size_t i) -> std::string {
                         if (i == 10)
                             throw Exception("cannot read page 10");
                         return "x";
                     },
                     [&](std::size_t, std::string&&) { ++consumedCount; }),
        Exception);
    EXPECT_LE(consumedCount, 10U) << "nothing at or after the failed index";
    EXPECT_THROW(RunOrdered(
                     5, 2, 2, [](std::size_t) { return std::string("x"); },
                     [](std::size_t i, std::string&&) {
                         if (i == 2)
                             throw Exception("disk full");
                     }),
        Exception);
}
