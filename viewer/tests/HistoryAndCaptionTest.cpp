#include "viewer/tests/ViewerFixture.h"

#include "browserhost/ApplicationTitle.h"
#include "browserhost/EmbeddedBrowser.h"
#include "viewer/BookMainDesign.h"

#include <QWebEnginePage>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// A page titled title (none when empty) with a link to each of the named pages, the link's id
// being the page's name without its extension, blanks made underscores.
std::string LinkedPage(const std::string& title, const std::vector<std::string>& links)
{
    std::string page = "<html><head><meta charset=\"windows-1252\">";
    if (!title.empty())
        page += "<title>" + title + "</title>";
    page += "</head><body><h1>" + title + "</h1>";
    for (const std::string& link : links) {
        std::string id = link.substr(0, link.find('.'));
        std::replace(id.begin(), id.end(), ' ', '_');
        page += "<a id=\"" + id + "\" href=\"" + link + "\">" + id + "</a> ";
    }
    return page + "</body></html>";
}

std::string PageAddress(TViewerWindow& window, const std::string& name)
{
    return window.Form().PageServer().PageURL(name);
}

std::vector<std::string> Visited(TViewerWindow& window)
{
    std::vector<std::string> urls;
    for (const auto& item : window.Form().VisitedURLs())
        urls.push_back(item.text);
    return urls;
}

} // namespace

TEST(ViewerHistory, BackThenANewLinkCutsTheForwardPartAndAKnownLinkOnlyMovesTheIndex)
{
    TTestBook book;
    const std::vector<std::string> all = { "a.htm", "b.htm", "c.htm", "d.htm" };
    for (const std::string& name : all)
        book.writer.AddPage("/" + name, LinkedPage("Page " + name.substr(0, 1), all));
    TViewerWindow window(book.Save());
    window.ShowAndWaitForHome();
    const Ui::BookMainForm& ui = window.Form().Designed();
    EXPECT_EQ(window.Form().VisitedIndex(), 0);
    EXPECT_FALSE(ui.ActionBack->isEnabled());
    EXPECT_FALSE(ui.ActionForward->isEnabled());

    ASSERT_TRUE(window.FollowLink("b"));
    ASSERT_TRUE(window.FollowLink("c"));
    EXPECT_TRUE(ui.ActionBack->isEnabled());
    ui.ActionBack->trigger();
    ASSERT_TRUE(window.WaitForLoad());
    EXPECT_EQ(window.Form().VisitedIndex(), 1);
    EXPECT_TRUE(ui.ActionForward->isEnabled());

    ASSERT_TRUE(window.FollowLink("d"));
    ASSERT_TRUE(window.FollowLink("a"));
    const std::string a = PageAddress(window, "/a.htm");
    const std::string b = PageAddress(window, "/b.htm");
    EXPECT_EQ(Visited(window), (std::vector<std::string> { a, b, PageAddress(window, "/d.htm") }));
    EXPECT_EQ(window.Form().VisitedIndex(), 0);
    EXPECT_FALSE(ui.ActionBack->isEnabled());
    EXPECT_TRUE(ui.ActionForward->isEnabled());

    ui.ActionForward->trigger();
    ASSERT_TRUE(window.WaitForLoad());
    EXPECT_EQ(window.Form().VisitedIndex(), 1);
    EXPECT_EQ(window.Caption(), QStringLiteral("Untitled eBook - Page b"));
    // The same page again, and Home to a page before the current one: nothing is added or cut.
    ASSERT_TRUE(window.FollowLink("b"));
    ui.ActionHome->trigger();
    ASSERT_TRUE(window.WaitForLoad());
    EXPECT_EQ(Visited(window).size(), 3u);
    EXPECT_EQ(window.Form().VisitedIndex(), 0);
}

TEST(ViewerHistory, AFramesetIsOneEntryAndBackLeavesItForThePageBefore)
{
    TTestBook book;
    book.writer.AddPage("/index.htm", LinkedPage("Home", { "frames.htm" }));
    book.writer.AddPage("/frames.htm",
        "<html><head><title>Frames</title></head><frameset cols=\"30%,70%\">"
        "<frame name=\"left\" src=\"left.htm\"><frame name=\"right\" src=\"right.htm\"></frameset></html>");
    book.writer.AddPage("/left.htm", "<p><a id=\"other\" href=\"other.htm\" target=\"right\">other</a></p>");
    book.writer.AddPage("/right.htm", LinkedPage("Right", {}));
    book.writer.AddPage("/other.htm", LinkedPage("Other", {}));
    TViewerWindow window(book.Save());
    window.ShowAndWaitForHome();
    ASSERT_TRUE(window.FollowLink("frames"));
    ASSERT_TRUE(WaitUntil([&] { return window.Caption() == QStringLiteral("Untitled eBook - Frames"); }));
    const std::vector<std::string> expected { PageAddress(window, "/index.htm"), PageAddress(window, "/frames.htm") };
    EXPECT_EQ(Visited(window), expected) << "the frames' own pages are part of the frameset's entry";

    // A link inside a frame changes that frame only, and the history keeps the frameset.
    window.RunScript(QStringLiteral("frames[0].document.getElementById('other').click()"));
    ASSERT_TRUE(WaitUntil(
        [&] { return window.RunScript(QStringLiteral("frames[1].document.title")) == QStringLiteral("Other"); }));
    EXPECT_EQ(Visited(window), expected);
    EXPECT_EQ(window.Form().VisitedIndex(), 1);

    window.Form().Designed().ActionBack->trigger();
    ASSERT_TRUE(window.WaitForLoad());
    EXPECT_EQ(window.Caption(), QStringLiteral("Untitled eBook - Home"));
    EXPECT_EQ(window.Form().VisitedIndex(), 0);
    EXPECT_FALSE(window.Form().Designed().ActionBack->isEnabled());
    window.Form().Designed().ActionForward->trigger();
    ASSERT_TRUE(WaitUntil([&] { return window.Caption() == QStringLiteral("Untitled eBook - Frames"); }));
    EXPECT_EQ(Visited(window), expected);
}

TEST(ViewerCaption, BookAndPageTitlesComposeAndAnUntitledPageShowsTheBookTitleAlone)
{
    struct Case {
        std::string bookTitle;
        std::string pageTitle;
        QString caption;
    };
    // Book titles are Windows-1252, or UTF-8 when they hold a multi-byte sequence; page titles keep
    // whatever the page says.
    const Case cases[] = {
        { "Caf\xE9 Guide", "Welcome", QStringLiteral(u"Café Guide - Welcome") },
        { "\xD0\x9A\xD0\xBD\xD0\xB8\xD0\xB3\xD0\xB0", "Welcome", QStringLiteral(u"Книга - Welcome") },
        { "Caf\xE9 Guide", "", QStringLiteral(u"Café Guide") },
        // A home page titled as the book says it once.
        { "Caf\xE9 Guide", "Caf&eacute; Guide", QStringLiteral(u"Café Guide") },
        { "", "&#26085;&#26412; Welcome", QStringLiteral(u"Untitled eBook - 日本 Welcome") },
        { "", "", QStringLiteral("Untitled eBook") },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption.toStdString());
        TTestBook book;
        book.writer.settings.title = c.bookTitle;
        book.writer.AddPage("/index.htm", LinkedPage(c.pageTitle, { "other.htm" }));
        book.writer.AddPage("/other.htm", LinkedPage("Other", { "index.htm" }));
        TViewerWindow window(book.Save());
        window.ShowAndWaitForHome();
        // An untitled page first reports its address as its title; that counts as no title.
        ASSERT_TRUE(WaitUntil([&] { return window.Caption() == c.caption; })) << window.Caption().toStdString();
        EXPECT_EQ(ApplicationTitle(), c.caption);
        // Coming back to the page by a link gives the same caption.
        ASSERT_TRUE(window.FollowLink("other"));
        ASSERT_TRUE(window.FollowLink("index"));
        ASSERT_TRUE(WaitUntil([&] { return window.Caption() == c.caption; })) << window.Caption().toStdString();
    }
}

TEST(ViewerPageNames, PagesNamedWithABlankAWindows1252LetterOrAUtf8CyrillicNameLoad)
{
    TTestBook book;
    book.writer.settings.title = "Names";
    // Links written as an author would: a blank and an accented letter in the href, the page in
    // Windows-1252. The engine sends "%20" and the UTF-8 escapes of the letter.
    book.writer.AddPage("/index.htm", LinkedPage("Home", { "My Page.htm", "caf\xE9.htm", "utf8.htm" }));
    book.writer.AddPage("/My Page.htm", LinkedPage("Blank", {}));
    book.writer.AddPage("/caf\xE9.htm", LinkedPage("Accent", {}));
    // A Cyrillic name stored in UTF-8 in upper case, linked from a UTF-8 page in lower case.
    book.writer.AddPage("/utf8.htm",
        "<html><head><meta charset=\"utf-8\"><title>UTF-8</title></head>"
        "<body><a id=\"cyr\" href=\"\xD0\xBA.htm\">cyr</a></body></html>");
    book.writer.AddPage("/\xD0\x9A.HTM", LinkedPage("Cyrillic", {}));
    TViewerWindow window(book.Save());
    window.ShowAndWaitForHome();

    ASSERT_TRUE(window.FollowLink("My_Page"));
    EXPECT_TRUE(WaitUntil([&] { return window.Caption() == QStringLiteral("Names - Blank"); }));
    window.Form().Designed().ActionBack->trigger();
    ASSERT_TRUE(window.WaitForLoad());
    ASSERT_TRUE(window.FollowLink(QStringLiteral(u"café")));
    EXPECT_TRUE(WaitUntil([&] { return window.Caption() == QStringLiteral("Names - Accent"); }));
    window.Form().Designed().ActionBack->trigger();
    ASSERT_TRUE(window.WaitForLoad());
    ASSERT_TRUE(window.FollowLink("utf8"));
    ASSERT_TRUE(window.FollowLink("cyr"));
    EXPECT_TRUE(WaitUntil([&] { return window.Caption() == QStringLiteral("Names - Cyrillic"); }));

    // Navigating by the stored name, as Home does.
    window.Form().NavigateToPage("/My Page.htm");
    ASSERT_TRUE(window.WaitForLoad());
    EXPECT_TRUE(WaitUntil([&] { return window.Caption() == QStringLiteral("Names - Blank"); }));
    window.Form().NavigateToPage("/caf\xE9.htm");
    ASSERT_TRUE(window.WaitForLoad());
    EXPECT_TRUE(WaitUntil([&] { return window.Caption() == QStringLiteral("Names - Accent"); }));
}
