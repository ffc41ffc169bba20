#include "sources/ChmSystem.h"
#include "sources/HelpSitemap.h"

#include <gtest/gtest.h>

namespace {

std::string Record(uint16_t code, const std::string& data)
{
    std::string bytes;
    bytes += static_cast<char>(code & 0xff);
    bytes += static_cast<char>(code >> 8);
    bytes += static_cast<char>(data.size() & 0xff);
    bytes += static_cast<char>(data.size() >> 8);
    return bytes + data;
}

} // namespace

TEST(ChmSystem, RecordsAreReadUntilOneRunsPastTheEnd)
{
    const std::string version("\x03\0\0\0", 4);
    std::string locale("\x09\x04\0\0", 4);
    const std::string bytes = version + Record(3, std::string("Title\0", 6)) + Record(2, "index.htm")
        + Record(4, locale) + Record(0, "toc.hhc") + Record(1, "idx.hhk");
    const ChmSystem system = ReadChmSystem(bytes);
    EXPECT_EQ(system.title, "Title");
    EXPECT_EQ(system.homePage, "index.htm");
    EXPECT_EQ(system.contentsFile, "toc.hhc");
    EXPECT_EQ(system.indexFile, "idx.hhk");
    EXPECT_EQ(LanguageOfLocale(system.localeId), "en-US");

    // A length past the end stops the reading; what came before stays.
    std::string damaged = version + Record(3, "Kept") + Record(2, "index.htm");
    damaged[damaged.size() - 11] = '\x7f';
    const ChmSystem cut = ReadChmSystem(damaged);
    EXPECT_EQ(cut.title, "Kept");
    EXPECT_TRUE(cut.homePage.empty());
    EXPECT_TRUE(ReadChmSystem("").title.empty());
}

TEST(HelpSitemap, NestingNamesAndPagesAreReadAsWritten)
{
    const TContents contents = ReadHelpSitemap(R"(<html><body>
<!-- <UL><LI><OBJECT type="text/sitemap"><param name="Name" value="Commented"></OBJECT></UL> -->
<UL>
 <LI><OBJECT type="text/sitemap"><param name="Name" value="Intro &amp; Setup"><param name="Local" value="a/./intro.htm#s1"></OBJECT>
 <UL>
   <LI><OBJECT type="text/sitemap"><PARAM NAME=name VALUE='Deep'><param name="Local" value="a/../../b\deep.htm"></OBJECT>
 </UL>
 <LI><OBJECT type="text/sitemap"><param name="Name" value="Heading only"></OBJECT>
 <LI><OBJECT type="text/sitemap"><param name="Local" value="nameless.htm"></OBJECT>
 <LI><OBJECT type="text/sitemap"><param name="Name" value="Other"><param name="Local" value="other.chm::/x.htm"></OBJECT>
</UL></body></html>)");
    ASSERT_EQ(contents.size(), 3u);
    EXPECT_EQ(contents[0].title, "Intro & Setup");
    EXPECT_EQ(contents[0].page, "/a/intro.htm");
    EXPECT_EQ(contents[0].anchor, "s1");
    ASSERT_EQ(contents[0].children.size(), 1u);
    EXPECT_EQ(contents[0].children[0].title, "Deep");
    EXPECT_EQ(contents[0].children[0].page, "/b/deep.htm"); // never above the top
    EXPECT_EQ(contents[1].title, "Heading only");
    EXPECT_TRUE(contents[1].page.empty());
    EXPECT_EQ(contents[2].page, "/x.htm");
}

// Sphinx's HTML Help writer names keyword index entries by "Keyword" alone; "Name" wins where
// both are given.
TEST(HelpSitemap, AKeywordNamesAnEntryThatHasNoName)
{
    const TContents keywords = ReadHelpSitemap(R"sitemap(<UL>
<LI> <OBJECT type="text/sitemap"><param name="Keyword" value="dedent() (in module textwrap)">
    <param name="Local" value="reference.html#textwrap.dedent"></OBJECT>
<LI> <OBJECT type="text/sitemap"><param name="Keyword" value="alias"><param name="Name" value="Named">
    <param name="Local" value="named.html"></OBJECT>
</UL>)sitemap");
    ASSERT_EQ(keywords.size(), 2u);
    EXPECT_EQ(keywords[0].title, "dedent() (in module textwrap)");
    EXPECT_EQ(keywords[0].page, "/reference.html");
    EXPECT_EQ(keywords[0].anchor, "textwrap.dedent");
    EXPECT_EQ(keywords[1].title, "Named");
}

TEST(HelpSitemap, HostileNestingStaysWithinItsBounds)
{
    std::string deep;
    for (int i = 0; i < 5000; ++i)
        deep += "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"n\"></OBJECT>";
    const TContents contents = ReadHelpSitemap(deep + "<param name=\"Name\" value=\"unclosed");
    std::size_t depth = 0;
    for (const TContents* level = &contents; !level->empty(); level = &level->back().children)
        ++depth;
    EXPECT_LE(depth, kMaxSitemapDepth);
    EXPECT_TRUE(ReadHelpSitemap("<UL></UL></UL></UL><").empty());
}

TEST(HelpSitemap, AQuotedGreaterThanSignStaysInTheValueAndScriptsHoldNoEntries)
{
    const TContents contents
        = ReadHelpSitemap(R"(<script>x = '<OBJECT type="text/sitemap"><param name="Name" value="S"></OBJECT>';</script>
<UL><LI><OBJECT type="text/sitemap"><param name="Name" value="a > b"><param name=Local value=a.htm></OBJECT></UL>)");
    ASSERT_EQ(contents.size(), 1u);
    EXPECT_EQ(contents[0].title, "a > b");
    EXPECT_EQ(contents[0].page, "/a.htm");
}
