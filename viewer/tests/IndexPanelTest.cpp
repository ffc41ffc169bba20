// A CHM's keyword index as a tab beside the contents: made only for a book with keywords,
// filtered as typed by the starts of words, and Enter opening the keyword kept first or the one
// chosen with the arrows.
#include "viewer/tests/ViewerFixture.h"

#include "sources/tests/SampleSources.h"
#include "viewer/BookMainDesign.h"
#include "viewer/contents/ContentsPanel.h"
#include "viewer/contents/IndexPanel.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>

namespace {

std::string Page(const std::string& title)
{
    return "<html><head><title>" + title + "</title></head><body><p>" + title + "</p></body></html>";
}

std::string Sitemap(const std::vector<std::pair<std::string, std::string>>& entries)
{
    std::string map = "<HTML><BODY><UL>\n";
    for (const auto& [name, local] : entries)
        map += "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"" + name
            + "\"><param name=\"Local\" value=\"" + local + "\"></OBJECT>\n";
    return map + "</UL></BODY></HTML>\n";
}

void Write(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

QStringList ShownKeywords(const TIndexPanel& panel)
{
    QStringList shown;
    for (int row = 0; row < panel.List()->count(); ++row) {
        if (!panel.List()->item(row)->isHidden())
            shown << panel.List()->item(row)->text();
    }
    return shown;
}

} // namespace

TEST(IndexPanel, TheKeywordsStandBesideTheContentsFilterByWordStartsAndEnterOpens)
{
    TScratchFolder temp;
    const std::filesystem::path work = temp / "chm";
    std::filesystem::create_directories(work);
    Write(work / "toc.hhc", Sitemap({ { "Home", "index.html" }, { "Sockets", "socket.html" } }));
    Write(work / "keywords.hhk",
        Sitemap({ { "configuration files", "index.html" }, { "SOCKS proxy", "socks.html" },
            { "socket options", "socket.html#options" }, { "sockets, closing", "socket.html" } }));
    const auto chm = CompileChm(work,
        { { "index.html", Page("Home") }, { "socket.html", Page("Sockets") }, { "socks.html", Page("Socks") } },
        "Contents file=toc.hhc\nIndex file=keywords.hhk\nDefault topic=index.html\n");
    if (!chm)
        GTEST_SKIP() << "chmcmd is not installed (fp-utils)";
    TViewerWindow window(chm->string());
    window.ShowAndWaitForHome();
    ASSERT_TRUE(WaitUntil([&] { return QGuiApplication::focusWindow() == window.Form().windowHandle(); }));

    // Shift+F9 makes the contents and the index beside them, and puts the keyboard in its field.
    QTest::keyClick(window.Form().windowHandle(), Qt::Key_F9, Qt::ShiftModifier);
    TIndexPanel* index = window.Form().IndexPanelMade();
    ASSERT_NE(index, nullptr);
    ASSERT_NE(window.Form().ContentsPanelMade(), nullptr);
    EXPECT_EQ(window.Form().tabifiedDockWidgets(index), QList<QDockWidget*> { window.Form().ContentsPanelMade() });
    EXPECT_TRUE(WaitUntil([&] { return index->isVisible() && index->Filter()->hasFocus(); }));
    EXPECT_EQ(ShownKeywords(*index).size(), 4);

    // "sock" begins three keywords' words; "sock opt" only one; "proxy socks" the SOCKS one.
    QTest::keyClicks(index->Filter(), QStringLiteral("sock"));
    EXPECT_EQ(ShownKeywords(*index),
        (QStringList {
            QStringLiteral("SOCKS proxy"), QStringLiteral("socket options"), QStringLiteral("sockets, closing") }));
    QTest::keyClicks(index->Filter(), QStringLiteral(" opt"));
    EXPECT_EQ(ShownKeywords(*index), QStringList { QStringLiteral("socket options") });
    QTest::keyClick(index->Filter(), Qt::Key_Return);
    ASSERT_TRUE(window.WaitForLoad());
    EXPECT_TRUE(WaitUntil([&] { return window.PageText().contains(QStringLiteral("Sockets")); }));
    EXPECT_EQ(window.RunScript(QStringLiteral("location.hash")), QStringLiteral("#options"));

    // Down goes into the list; Down again and Enter open the keyword under the cursor.
    index->Filter()->setText(QStringLiteral("proxy"));
    EXPECT_EQ(ShownKeywords(*index), QStringList { QStringLiteral("SOCKS proxy") });
    index->Filter()->clear();
    QTest::keyClick(index->Filter(), Qt::Key_Down);
    EXPECT_TRUE(index->List()->hasFocus());
    QTest::keyClick(index->List(), Qt::Key_Down);
    EXPECT_EQ(index->List()->currentItem()->text(), QStringLiteral("SOCKS proxy"));
    QTest::keyClick(index->List(), Qt::Key_Return);
    ASSERT_TRUE(window.WaitForLoad());
    EXPECT_TRUE(WaitUntil([&] { return window.PageText().contains(QStringLiteral("Socks")); }));

    // F9 brings the contents in front of the index, then hides both tabs, then shows both again.
    TContentsPanel* contents = window.Form().ContentsPanelMade();
    QTest::keyClick(window.Form().windowHandle(), Qt::Key_F9);
    EXPECT_TRUE(WaitUntil([&] { return contents->isVisible(); }));
    QTest::keyClick(window.Form().windowHandle(), Qt::Key_F9);
    EXPECT_TRUE(WaitUntil([&] { return !contents->isVisible() && !index->isVisible(); }));
    QTest::keyClick(window.Form().windowHandle(), Qt::Key_F9);
    EXPECT_TRUE(WaitUntil([&] { return contents->isVisible(); }));
    EXPECT_FALSE(index->isHidden());
}

TEST(IndexPanel, ABookWithoutKeywordsHasNoIndexTab)
{
    TTestBook book;
    book.writer.AddPage("/index.htm", "<title>Home</title><p>home</p>");
    TViewerWindow window(book.Save());
    window.ShowAndWaitForHome();
    QTest::keyClick(window.Form().windowHandle(), Qt::Key_F9);
    ASSERT_NE(window.Form().ContentsPanelMade(), nullptr);
    EXPECT_EQ(window.Form().IndexPanelMade(), nullptr);
}
