// Where the old readers of markup disagreed, the tokenizer reads as a browser does.

#include "html/MarkupTokenizer.h"
#include "html/LinkListTree.h"
#include "html/PageLinkTargets.h"
#include "html/PageText.h"

#include <gtest/gtest.h>

namespace {

// The tokens of a page, one short line each: <a k=v/>, </a>, 'text', <!--text-->, <!DOCTYPE>,
// <![CDATA[text]]>, <?text?>; a comment the page ended in ends with "...".
std::vector<std::string> Tokens(std::string_view page, MarkupDialect dialect = MarkupDialect::Html)
{
    std::vector<std::string> lines;
    MarkupTokenizer tokens(page, dialect);
    MarkupToken token;
    std::string scratch;
    while (tokens.Next(token)) {
        std::string line;
        switch (token.kind) {
        case MarkupTokenKind::Text:
            line = "'" + std::string(DecodedTokenText(token, scratch)) + "'";
            break;
        case MarkupTokenKind::StartTag:
            line = "<" + std::string(token.name);
            for (const MarkupAttribute& attribute : token.attributes)
                line += " " + std::string(attribute.name) + "=" + attribute.DecodedValue();
            line += token.selfClosing ? "/>" : ">";
            break;
        case MarkupTokenKind::EndTag:
            line = "</" + std::string(token.name) + ">";
            break;
        case MarkupTokenKind::Comment:
            line = "<!--" + std::string(token.text) + (token.terminated ? "-->" : "...");
            break;
        case MarkupTokenKind::Doctype:
            line = "<!DOCTYPE>";
            break;
        case MarkupTokenKind::ProcessingInstruction:
            line = "<?" + std::string(token.text) + "?>";
            break;
        case MarkupTokenKind::Cdata:
            line = "<![CDATA[" + std::string(token.text) + "]]>";
            break;
        }
        lines.push_back(line);
    }
    return lines;
}

using Lines = std::vector<std::string>;

TEST(MarkupTokenizer, AttributesAreReadAsBrowsersReadThem)
{
    // Unquoted values end at a blank or '>'; a '>' or a quote inside a quoted value does not end
    // anything; names and tags are lower-cased; a slash in an unquoted value is the value's.
    EXPECT_EQ(Tokens("<A HREF=x.htm?a=1&amp;b title='1 > 0' Data-X=\"it's\" checked><br/><a href=y/>"),
        (Lines { "<a HREF=x.htm?a=1&b title=1 > 0 Data-X=it's checked=>", "<br/>", "<a href=y/>" }));
    // Where a quote stands in an unquoted value it is a letter, not the start of a quoted stretch.
    EXPECT_EQ(Tokens("<p class=a\"b>text</p>"), (Lines { "<p class=a\"b>", "'text'", "</p>" }));
    // References in values: a legacy name before '=' or a letter stays as written, as in addresses.
    EXPECT_EQ(Tokens("<a href=\"?x=1&copy=2&not;&copy;\">&copy=2</a>"),
        (Lines { "<a href=?x=1&copy=2¬©>", "'©=2'", "</a>" }));
    MarkupTokenizer tokens("<LINK REL=Next href=a><link href=b>");
    MarkupToken token;
    ASSERT_TRUE(tokens.Next(token));
    ASSERT_NE(token.Attribute("rel"), nullptr);
    EXPECT_EQ(token.Attribute("rel")->value, "Next");
    EXPECT_EQ(token.Attribute("title"), nullptr);
}

TEST(MarkupTokenizer, CommentsLoneBracketsAndTagsCutShort)
{
    EXPECT_EQ(Tokens("a<!-->b<!--->c<!-- x --!>d<!-- never closed <p>"),
        (Lines { "'a'", "<!---->", "'b'", "<!---->", "'c'", "<!-- x -->", "'d'", "<!-- never closed <p>..." }));
    // A '<' that starts no markup is text; "</>" is nothing; "<? ?>" and "<!x>" are comments in
    // HTML; a tag the page ends in is left out.
    EXPECT_EQ(Tokens("a < b <3 </><?php x?><!x>c<p class=\"open"),
        (Lines { "'a < b <3 '", "<!---->", "<!--?php x?-->", "<!--x-->", "'c'" }));
    EXPECT_EQ(Tokens("<!doctype html><P>x</P >"), (Lines { "<!DOCTYPE>", "<p>", "'x'", "</p>" }));
}

TEST(MarkupTokenizer, RawTextEndsOnlyAtItsOwnEndTag)
{
    EXPECT_EQ(Tokens("<script>if (a<b) x('</p><!--');</scripts></SCRIPT >after"),
        (Lines { "<script>", "'if (a<b) x('</p><!--');</scripts>'", "</script>", "'after'" }));
    // Title and textarea hold text with references, never tags.
    EXPECT_EQ(Tokens("<title>A <b>&amp; B</title><textarea><p></textarea>"),
        (Lines { "<title>", "'A <b>& B'", "</title>", "<textarea>", "'<p>'", "</textarea>" }));
    // Script references are not decoded; an unclosed script runs to the end of the page.
    EXPECT_EQ(Tokens("<style>a::after{content:'&amp;'}"), (Lines { "<style>", "'a::after{content:'&amp;'}'" }));
}

TEST(MarkupTokenizer, XhtmlHasCdataAndEmptySelfClosedScripts)
{
    const std::string page = "<script src='a.js'/><p>shown</p><![CDATA[x<y]]>";
    EXPECT_EQ(Tokens(page, MarkupDialect::Xhtml),
        (Lines { "<script src=a.js/>", "<p>", "'shown'", "</p>", "<![CDATA[x<y]]>" }));
    // HTML reads on as script after <script/> and takes CDATA for a comment up to the first '>'.
    EXPECT_EQ(Tokens(page), (Lines { "<script src=a.js/>", "'<p>shown</p><![CDATA[x<y]]>'" }));
    EXPECT_EQ(Tokens("<![CDATA[x<y]]>z"), (Lines { "<!--[CDATA[x<y]]-->", "'z'" }));
    EXPECT_EQ(TextOfMarkup("<p>A<![CDATA[B]]></p>", MarkupDialect::Xhtml).body, "AB");
    EXPECT_EQ(TextOfMarkup("<p>A<![CDATA[B]]></p>").body, "A");
}

TEST(MarkupTokenizer, EveryReaderSeesTheSameTagsWhereTheOldOnesDisagreed)
{
    // A '>' inside a quoted value, an unquoted value and upper-case names, read by each reader.
    const std::string page = "<UL><LI><A HREF=one.htm TITLE=\"a > b\">One</A><li><a href='two.htm' "
                             "title=\"x>y\">Two</a></ul><!-- <a href=hidden.htm>";
    const LinkListTree tree = ReadLinkListTree(page);
    ASSERT_EQ(tree.listGroups.size(), 1u);
    ASSERT_EQ(tree.listGroups[0].size(), 2u);
    EXPECT_EQ(tree.listGroups[0][1].href, "two.htm");
    EXPECT_EQ(tree.listGroups[0][1].linkText, "Two");
    const PageLinkTargets targets = LinkTargetsOfMarkup(page);
    ASSERT_EQ(targets.links.size(), 2u);
    EXPECT_EQ(targets.links[0].target, "one.htm");
    EXPECT_EQ(TextOfMarkup(page).body, "One Two");
}

} // namespace
