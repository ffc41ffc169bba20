// What text a page gives the index: markup left out, references decoded, encodings honoured.

#include "html/PageText.h"
#include "html/Blanks.h"
#include "html/CharacterReferences.h"
#include "html/CleanText.h"
#include "html/TextEncoding.h"

#include <gtest/gtest.h>

namespace {

PageText TextOf(std::string_view name, std::string_view bytes)
{
    auto text = ExtractPageText(name, bytes);
    EXPECT_TRUE(text.has_value()) << name;
    return text.value_or(PageText {});
}

TEST(PageText, KeepsVisibleTextAndLeavesOutScriptsStylesCommentsAndTags)
{
    const PageText page = TextOf("/a.htm",
        "<html><head><title>The  Title</title><style>p { hidden-style: 1 }</style>"
        "<script>var hiddenScript = '</p>';</script></head>"
        "<body><!-- hidden comment --><p class=\"x>y\">First <b>bold</b>word</p><p>Second</p>"
        "<SCRIPT type=text/javascript>if (a < b) hiddenUpper();</SCRIPT>"
        "<template><p>hiddenTemplate</p></template><div>a < b</div></body></html>");
    EXPECT_EQ(page.title, "The Title");
    EXPECT_EQ(page.body, "First boldword Second a < b");
}

TEST(PageText, TitleFallsBackToTheFirstHeadingAndPlainTextHasNone)
{
    EXPECT_EQ(TextOf("/b.html", "<h1>Chapter <i>One</i></h1><p>x</p><h1>Two</h1>").title, "Chapter One");
    const PageText plain = TextOf("/notes.TXT", "plain <b>text</b>\n\n  lines");
    EXPECT_EQ(plain.title, "");
    EXPECT_EQ(plain.body, "plain <b>text</b> lines");
    EXPECT_FALSE(ExtractPageText("/image.png", "<p>not text</p>").has_value());
    EXPECT_FALSE(ExtractPageText("/style.css", "p{}").has_value());
}

TEST(PageText, OneRuleForWhatIsAPageAndWhatIsABlank)
{
    for (const char* page : { "/a.HTM", "/b.html", "/c.shtml", "/d.XHTML", "/e.xht" })
        EXPECT_TRUE(IsMarkupPage(page)) << page;
    for (const char* other : { "/notes.txt", "/logo.png", "/html", "/a.html.bak" })
        EXPECT_FALSE(IsMarkupPage(other)) << other;
    // Form feed is one of HTML's blanks; a vertical tab is not and stays in the text.
    EXPECT_EQ(CollapseBlanks("\f one \t\r\n two\v three  "), "one two\v three");
}

TEST(PageText, DecodesNamedAndNumericReferencesFromTheWholeTable)
{
    EXPECT_EQ(DecodeCharacterReferences("R&eacute;sum&#233; &amp; caf&#xE9;"), "Résumé & café");
    EXPECT_EQ(DecodeCharacterReferences("&CounterClockwiseContourIntegral; &NotNestedGreaterGreater; &fjlig;"),
        "\xE2\x88\xB3 \xE2\xAA\xA2\xCC\xB8 fj");
    // Legacy names work without their semicolon; the longest name wins; unknown ones stay.
    EXPECT_EQ(DecodeCharacterReferences("&copy2026 &notin; &notit; &bogus; & &#;"), "©2026 ∉ ¬it; &bogus; & &#;");
    // Numbers in 0x80-0x9F mean Windows-1252 characters; invalid numbers give U+FFFD.
    EXPECT_EQ(
        DecodeCharacterReferences("&#150;&#x80;&#0;&#xD800;&#99999999999;"), "–€\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
    // Control characters become blanks: the index keeps none.
    EXPECT_EQ(DecodeCharacterReferences("a&#x4;b&#12;c&#9;d"), "a b c\td");
    EXPECT_EQ(TextOf("/e.htm", "<title>Q&amp;A</title><p>&lt;tag&gt;&nbsp;x</p>").body, "<tag>\xC2\xA0x");
}

TEST(PageText, HonoursThePagesOwnEncoding)
{
    // Windows-1252 by declaration, and by bytes that are not UTF-8.
    EXPECT_EQ(TextOf("/w.htm",
                  "<meta http-equiv=Content-Type content='text/html; charset=ISO-8859-1'>"
                  "<p>caf\xE9 \x80 \x93</p>")
                  .body,
        "café € “");
    const DecodedText undeclared = DecodePageText("<p>r\xE9sum\xE9</p>", true);
    EXPECT_EQ(undeclared.source, TextEncodingSource::WindowsFallback);
    EXPECT_EQ(undeclared.utf8, "<p>résumé</p>");
    // Valid UTF-8 without a declaration is UTF-8.
    EXPECT_EQ(DecodePageText("r\xC3\xA9sum\xC3\xA9", true).source, TextEncodingSource::ValidUtf8);
    // Byte order marks win over declarations.
    EXPECT_EQ(TextOf("/bom.htm", "\xEF\xBB\xBF<meta charset=windows-1252><p>\xC3\xA9t\xC3\xA9</p>").body, "été");
    EXPECT_EQ(TextOf("/u16.htm", std::string("\xFF\xFE<\0p\0>\0\xE9\0t\0\xE9\0", 14)).body, "été");
    // An XHTML page's XML declaration, and an encoding that only the system converter knows.
    EXPECT_EQ(
        TextOf("/x.xhtml", "<?xml version='1.0' encoding='windows-1252'?><html><body>\xE9t\xE9</body></html>").body,
        "été");
    EXPECT_EQ(TextOf("/k.htm", "<meta charset=\"koi8-r\"><p>\xF0\xD2\xC9\xD7\xC5\xD4</p>").body, "Привет");
    // Declared UTF-8 with a broken byte: the rest survives, the byte becomes U+FFFD.
    EXPECT_EQ(TextOf("/b.htm", "<meta charset=utf-8><p>ok \xFF ok</p>").body, "ok \xEF\xBF\xBD ok");

    // Controls, broken bytes and tabs found wherever they stand among long plain runs, which are
    // read eight bytes at a time: each at every place in a run of 40.
    for (const std::string_view odd : { "\x01", "\x1F", "\x7F", "\xFF", "\t", "\n", "\xC3\xA9", "\x80" }) {
        for (std::size_t at = 0; at <= 40; ++at) {
            std::string text(40, 'a');
            text.insert(at, odd);
            std::string expected = text;
            if (odd == "\x01" || odd == "\x1F")
                expected[at] = ' ';
            else if (odd == "\xFF" || odd == "\x80")
                expected.replace(at, 1, "\xEF\xBF\xBD");
            EXPECT_EQ(CleanUtf8(text), expected) << at;
        }
    }
}

} // namespace

namespace {

TEST(PageText, NavigationLandmarksAreLeftOutAndHeadingsAndDefinedTermsKept)
{
    const PageText page = TextOf("/a.html",
        "<title>T</title><header>Site banner</header><nav><ul><li>Menu</li></ul></nav>"
        "<div role=\"navigation\"><div>Sidebar <b>links</b></div></div><aside>Aside</aside>"
        "<article><header><h1>Own heading</h1></header><h2>Part</h2><dl><dt>wal_level (enum)</dt>"
        "<dd>Sets how much information is written to the log</dd></dl></article><footer>Page "
        "footer</footer><p>After</p>");
    EXPECT_EQ(page.body, "Own heading Part wal_level (enum) Sets how much information is written to the log After");
    EXPECT_EQ(page.headings, "Own heading Part wal_level (enum)");
    // A page made mostly of defined terms (an index) does not count them as its headings.
    EXPECT_EQ(TextOf("/i.html", "<dl><dt>alpha</dt><dt>beta</dt><dd>x</dd></dl>").headings, "");
}

TEST(PageText, AHugePageIsCutAndDeepNestingIsBounded)
{
    std::string words;
    for (int i = 0; words.size() <= kMostPageTextBytes + 1000; ++i)
        words += "w" + std::to_string(i) + " ";
    const PageText huge = TextOf("/huge.txt", words);
    EXPECT_LE(huge.body.size(), kMostPageTextBytes);
    EXPECT_GT(huge.body.size(), kMostPageTextBytes - 100);
    const PageText markup = TextOf("/huge.htm", "<p>" + words);
    EXPECT_LE(markup.body.size(), kMostPageTextBytes);
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<div>";
    const PageText nested = TextOf("/deep.htm", deep + "inside");
    EXPECT_EQ(nested.body, "inside");
    EXPECT_LE(nested.elements.size(), 1000u);
}

} // namespace
