// How typed text becomes a query that cannot be malformed.

#include "search/SearchQuery.h"
#include "search/BookPageFeeder.h"
#include "search/SearchIndex.h"
#include "search/tests/SearchBook.h"

#include <gtest/gtest.h>

#include <sstream>

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

std::size_t WordsOf(const std::string& term)
{
    std::istringstream words(term);
    std::size_t count = 0;
    for (std::string word; words >> word;)
        ++count;
    return count;
}

TEST(SearchQuery, ALongQueryIsCutToItsFirstWordsAndSaysSo)
{
    std::string phrase;
    for (int i = 0; phrase.size() < 100 * 1024; ++i)
        phrase += "w" + std::to_string(i % 500) + " ";
    const SearchQuery cut = ParseSearchQuery("first \"" + phrase + "\" last");
    EXPECT_TRUE(cut.cut);
    ASSERT_EQ(cut.terms.size(), 2u);
    EXPECT_EQ(cut.terms[0], "first");
    EXPECT_EQ(WordsOf(cut.terms[1]), kMostQueryWords - 1);
    EXPECT_TRUE(cut.terms[1].starts_with("w0 w1 w2 "));
    // Ideographs count one a word, and a word stops at its bytes' bound.
    const auto times = [](const std::string& character, int count) {
        std::string out;
        for (int i = 0; i < count; ++i)
            out += character;
        return out;
    };
    EXPECT_EQ(ParseSearchQuery(times("\u4E2D", 30) + " " + times("\u6587", 30) + " " + times("\u5B57", 30)).terms,
        (std::vector<std::string> { times("\u4E2D", 30), times("\u6587", 30), times("\u5B57", 4) }));
    EXPECT_EQ(ParseSearchQuery(times("\u4E2D", 1000)).terms, (std::vector<std::string> { times("\u4E2D", 42) }));
    const std::string run(1000, 'x');
    EXPECT_EQ(ParseSearchQuery(run + " y").terms, (std::vector<std::string> { run.substr(0, kMostQueryWordBytes) }));
    // Within the bounds the query is as typed.
    const SearchQuery whole = ParseSearchQuery("\"page  service\" lock");
    EXPECT_FALSE(whole.cut);
    EXPECT_EQ(whole.terms, (std::vector<std::string> { "page  service", "lock" }));
    EXPECT_EQ(UsedQueryText("\"page  service\" lock"), "\"page  service\" lock");
    EXPECT_EQ(UsedQueryText("first \"" + phrase + "\" last"), "first \"" + cut.terms[1] + "\"");
}

TEST(SearchQuery, APhraseOfAHundredKilobytesIsLookedUpAsItsFirstWords)
{
    std::string text;
    for (int i = 0; i < 2000; ++i)
        text += "w" + std::to_string(i) + " ";
    const auto book = MakeSearchBook(
        { { "/a.html", HtmlPage("A", "<p>" + text + "</p>") }, { "/b.html", HtmlPage("B", "<p>w1 w0 w3 w2</p>") } });
    TSearchIndex index;
    IndexWholeBook(book->reader, index);
    std::string phrase;
    for (int i = 0; phrase.size() < 100 * 1024; ++i)
        phrase += "w" + std::to_string(i) + " ";
    // The page holds the first words in order, not the whole phrase: found through the cut.
    const SearchResults results = index.Search("\"" + phrase + "\"", 0, 10);
    EXPECT_TRUE(results.queryCut);
    ASSERT_EQ(results.total, 1);
    EXPECT_EQ(results.hits[0].name, "/a.html");
    EXPECT_FALSE(index.Search("w1 w0", 0, 10).queryCut);
}

} // namespace
