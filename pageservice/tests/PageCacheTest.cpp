#include "pageservice/PageCache.h"

#include <gtest/gtest.h>

namespace {
std::shared_ptr<const std::string> Bytes(std::size_t size, char fill)
{
    return std::make_shared<const std::string>(size, fill);
}
} // namespace

TEST(PageCache, DropsTheLeastRecentlyUsedPageToStayWithinBudget)
{
    TPageCache cache(100);
    cache.Add(1, Bytes(40, 'a'));
    cache.Add(2, Bytes(40, 'b'));
    ASSERT_NE(cache.Find(1), nullptr); // page 2 is now the least recently used
    cache.Add(3, Bytes(40, 'c'));
    EXPECT_EQ(cache.Find(2), nullptr);
    ASSERT_NE(cache.Find(1), nullptr);
    EXPECT_EQ(*cache.Find(3), std::string(40, 'c'));
    EXPECT_EQ(cache.UsedBytes(), 80u);
    EXPECT_EQ(cache.Count(), 2u);
}

TEST(PageCache, KeepsNothingLargerThanTheBudgetAndNoPageTwice)
{
    TPageCache cache(100);
    cache.Add(1, Bytes(60, 'a'));
    cache.Add(2, Bytes(101, 'b'));
    EXPECT_EQ(cache.Find(2), nullptr);
    EXPECT_NE(cache.Find(1), nullptr); // the oversized page did not push anything out
    cache.Add(1, Bytes(60, 'z'));
    EXPECT_EQ(cache.UsedBytes(), 60u);
    EXPECT_EQ((*cache.Find(1))[0], 'a');
    cache.Add(3, Bytes(100, 'c')); // exactly the budget: everything else leaves
    EXPECT_EQ(cache.Count(), 1u);
    EXPECT_EQ(cache.UsedBytes(), 100u);
}
