// How typed text becomes a query that cannot be malformed.

#include "search/SearchQuery.h"

#include <gtest/gtest.h>

namespace {

SearchQuery Typing(std::string_view typed)
{
    return ParseSearchQuery(typed, LastWord::Prefix);
}

TEST(SearchQuery, QuotesEveryTermKeepsPhrasesAndTakesTheLastWordAsAPrefixOnlyWhileTyping)
{
    EXPECT_EQ(Typing("zlib stream").expression, "\"zlib\" \"stream\"*");
    EXPECT_EQ(ParseSearchQuery("zlib stream").expression, "\"zlib\" \"stream\"");
    EXPECT_EQ(Typing("zlib stream ").expression, "\"zlib\" \"stream\"");
    EXPECT_EQ(Typing("\"page service\" lock").expression, "\"page service\" \"lock\"*");
    EXPECT_EQ(Typing("lock \"page service").expression, "\"lock\" \"page service\"");
    EXPECT_EQ(Typing("3.11 0x70").expression, "\"3.11\" \"0x70\"*");
    const SearchQuery hostile = Typing("a\"\"b NEAR(x y) OR -c * ^d:e");
    EXPECT_EQ(hostile.expression, "\"a\" \"b\" \"NEAR(x\" \"y)\" \"OR\" \"-c\" \"^d:e\"*");
    EXPECT_EQ(ParseSearchQuery("say \"\"\"hi").expression, "\"say\" \"hi\"");
    EXPECT_EQ(ParseSearchQuery("  - * \"\" ()  ").expression, "");
    EXPECT_EQ(ParseSearchQuery("\"page service\" lock").terms, (std::vector<std::string> { "page service", "lock" }));
}

TEST(SearchQuery, RepeatedTermsCountOnceAndTermsAreBounded)
{
    EXPECT_EQ(ParseSearchQuery("vacuum full vacuum \"full\"").expression, "\"vacuum\" \"full\"");
    std::string many;
    for (int i = 0; i < 100; ++i)
        many += "w" + std::to_string(i) + " ";
    EXPECT_EQ(ParseSearchQuery(many).terms.size(), kMostQueryTerms);
    // A megabyte of one word is one term: its cost is its reading, not a phrase per word.
    std::string megabyte;
    while (megabyte.size() < kMostQueryBytes)
        megabyte += "vacuum ";
    EXPECT_EQ(ParseSearchQuery(megabyte).expression, "\"vacuum\"");
}

} // namespace
