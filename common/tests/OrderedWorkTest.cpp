#include "common/OrderedWork.h"
#include "common/Exception.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <mutex>
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

TEST(OrderedWork, TheBytesOfTheWindowBoundHeavyResultsAndLetLightOnesRunAhead)
{
    // Every tenth result weighs 100 bytes, the others 1; the window allows 50 results and 120 bytes.
    const auto weight = [](std::size_t i) -> std::size_t { return i % 10 == 0 ? 100 : 1; };
    std::mutex lock;
    std::size_t held = 0;
    std::size_t mostHeld = 0;
    std::size_t mostAhead = 0;
    std::size_t consumedCount = 0;
    RunOrdered(
        300, 4, OrderedWindow { 50, 120, weight },
        [&](std::size_t i) {
            const std::lock_guard guard(lock);
            held += weight(i);
            mostHeld = std::max(mostHeld, held);
            mostAhead = std::max(mostAhead, i - consumedCount);
            return std::to_string(i);
        },
        [&](std::size_t i, std::string&& result) {
            EXPECT_EQ(result, std::to_string(i));
            // Hold the consumer a little, so that the producers run ahead as far as they may.
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            const std::lock_guard guard(lock);
            held -= weight(i);
            ++consumedCount;
        });
    EXPECT_EQ(consumedCount, 300U);
    EXPECT_LE(mostHeld, 120U + 100U) << "the bytes, beside the result being consumed";
    EXPECT_GT(mostAhead, 10U) << "light results ran ahead of the one being consumed";

    // One result heavier than all the bytes still goes, alone.
    std::size_t produced = 0;
    RunOrdered(
        3, 2, OrderedWindow { 4, 10, [](std::size_t) -> std::size_t { return 1000; } },
        [&](std::size_t) {
            ++produced;
            return std::string("x");
        },
        [](std::size_t, std::string&&) {});
    EXPECT_EQ(produced, 3U);
}
