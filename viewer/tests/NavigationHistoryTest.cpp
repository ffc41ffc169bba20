#include "viewer/NavigationHistory.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Items(const TStringList& list)
{
    std::vector<std::string> items;
    for (const auto& item : list)
        items.push_back(item.text);
    return items;
}

} // namespace

TEST(NavigationHistory, FollowsTheListRulesThroughAReadingSession)
{
    TStringList history;
    int32_t index = -1;
    EXPECT_FALSE(CanGoBack(history, index));
    EXPECT_FALSE(CanGoForward(history, index));

    RecordNavigation(history, index, "http://h/a");
    EXPECT_EQ(index, 0);
    EXPECT_FALSE(CanGoBack(history, index));
    EXPECT_FALSE(CanGoForward(history, index));

    RecordNavigation(history, index, "http://h/b");
    RecordNavigation(history, index, "http://h/c");
    RecordNavigation(history, index, "http://h/C"); // letter case aside, the current page again
    EXPECT_EQ(Items(history), (std::vector<std::string> { "http://h/a", "http://h/b", "http://h/c" }));
    EXPECT_EQ(index, 2);

    RecordNavigation(history, index, "http://h/A"); // a known page before the current one
    EXPECT_EQ(index, 0);
    EXPECT_TRUE(CanGoForward(history, index));
    RecordNavigation(history, index, "http://h/c"); // and one after it: nothing is cut
    EXPECT_EQ(index, 2);
    EXPECT_EQ(history.Count(), 3);

    RecordNavigation(history, index, "http://h/a");
    RecordNavigation(history, index, "http://h/e"); // new, from the first of three
    EXPECT_EQ(Items(history), (std::vector<std::string> { "http://h/a", "http://h/e" }));
    EXPECT_EQ(index, 1);
    EXPECT_TRUE(CanGoBack(history, index));
    EXPECT_FALSE(CanGoForward(history, index));
}
