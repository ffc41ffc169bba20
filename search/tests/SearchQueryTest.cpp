// How typed text becomes a query that cannot be malformed.

#include "search/SearchQuery.h"

#include <gtest/gtest.h>

namespace {

TEST(SearchQuery, QuotesEveryTermKeepsPhrasesAndTakesTheLastWordAsAPrefix)
{
    EXPECT_EQ(ParseSearchQuery("zlib stream").expression, "\"zlib\" \"stream\"*");
    EXPECT_EQ(ParseSearchQuery("zlib stream ").expression, "\"zlib\" \"stream\"");
    EXPECT_EQ(ParseSearchQuery("\"page service\" lock").expression, "\"page service\" \"lock\"*");
    EXPECT_EQ(ParseSearchQuery("lock \"page service").expression, "\"lock\" \"page service\"");
    EXPECT_EQ(ParseSearchQuery("3.11 0x70").expression, "\"3.11\" \"0x70\"*");
    const SearchQuery hostile = ParseSearchQuery("a\"\"b NEAR(x y) OR -c * ^d:e");
    EXPECT_EQ(hostile.expression, "\"a\" \"b\" \"NEAR(x\" \"y)\" \"OR\" \"-c\" \"^d:e\"*");
    EXPECT_EQ(ParseSearchQuery("say \"\"\"hi").expression, "\"say\" \"hi\"");
    EXPECT_EQ(ParseSearchQuery("  - * \"\" ()  ").expression, "");
    EXPECT_EQ(ParseSearchQuery("\"page service\" lock").terms, (std::vector<std::string> { "page service", "lock" }));
}

} // namespace
