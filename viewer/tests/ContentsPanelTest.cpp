// The contents panel driven by keys as a reader would: F9, selection following links and Back,
// the filter, next and previous across chapters, and a book asking for the panel at start.

#include "viewer/contents/ContentsPanel.h"
#include "common/DisplayText.h"
#include "sources/StoredContents.h"
#include "viewer/BookMainDesign.h"
#include "viewer/tests/ViewerFixture.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QTreeWidget>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

std::string Chapter(const std::string& title, const std::string& links = {})
{
    return "<html><head><title>" + title + "</title></head><body><h1>" + title + "</h1>" + links + "</body></html>";
}

// The titles of the tree's entries shown, the selected one in brackets, children after " > ".
QString Shown(QTreeWidget& tree)
{
    QStringList titles;
    for (QTreeWidgetItemIterator it(&tree); *it; ++it) {
        if ((*it)->isHidden())
            continue;
        const QString title = (*it)->text(0);
        titles << ((*it)->isSelected() ? u'[' + title + u']' : title);
    }
    return titles.join(u'|');
}

// A book in a window of a small screen's size, with the keyboard's focus, as a reader has it.
struct TReaderWindow {
    TTestBook book;
    std::unique_ptr<TViewerWindow> window;

    explicit TReaderWindow(std::initializer_list<std::pair<std::string, std::string>> pages)
    {
        for (const auto& [name, content] : pages)
            book.writer.AddPage(name, content);
        DisplaySettings& display = book.writer.settings.display;
        display.windowWidth = 800;
        display.windowHeight = 600;
        display.resizable = true;
        display.showMenu = true;
        window = std::make_unique<TViewerWindow>(book.Save());
        window->ShowAndWaitForHome();
        EXPECT_TRUE(WaitUntil([&] { return QGuiApplication::focusWindow() == Window(); }));
    }

    TBookMainForm& Form() { return window->Form(); }
    QWindow* Window() { return Form().windowHandle(); }
    void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(Window(), static_cast<Qt::Key>(key), modifiers);
    }
};

QString CurrentPage(TViewerWindow& window)
{
    return window.RunScript(QStringLiteral("location.pathname + location.hash"));
}

} // namespace

TEST(ContentsPanel, FollowsNavigationFiltersAndStepsAcrossChapters)
{
    TReaderWindow reading({
        { "/index.htm",
            Chapter("Home",
                "<ol><li><a href='one.htm'>One</a><ol><li><a id=to11 href='one-1.htm'>One point one</a></ol>"
                "<li><a href='two.htm'>Two</a><ol><li><a href='two-1.htm'>Two point one</a></ol></ol>") },
        { "/one.htm", Chapter("one.htm", "<a id=toTwo1 href='two-1.htm'>on</a>") },
        { "/one-1.htm", Chapter("1.1") },
        { "/two.htm", Chapter("2") },
        { "/two-1.htm", Chapter("2.1") },
    });
    TViewerWindow& window = *reading.window;
    EXPECT_EQ(reading.Form().ContentsPanelMade(), nullptr);

    reading.Press(Qt::Key_F9);
    TContentsPanel* panel = reading.Form().ContentsPanelMade();
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return panel->isVisible(); }));
    QTreeWidget& tree = *panel->Tree();
    // The home page is no entry: nothing is selected.
    EXPECT_EQ(Shown(tree), QStringLiteral("One|One point one|Two|Two point one"));

    // Enter in the filter opens the first entry; the selection follows.
    QTest::keyClick(panel->Filter(), Qt::Key_Return);
    ASSERT_TRUE(window.WaitForLoad());
    EXPECT_EQ(CurrentPage(window), QStringLiteral("/one.htm"));
    ASSERT_TRUE(window.FollowLink(QStringLiteral("toTwo1")));
    EXPECT_TRUE(WaitUntil([&] { return Shown(tree) == QStringLiteral("One|One point one|Two|[Two point one]"); }))
        << Shown(tree).toStdString();
    reading.Press(Qt::Key_Left, Qt::AltModifier);
    ASSERT_TRUE(window.WaitForLoad());
    EXPECT_TRUE(WaitUntil([&] { return Shown(tree) == QStringLiteral("[One]|One point one|Two|Two point one"); }))
        << Shown(tree).toStdString();

    // Next walks depth first: into the chapter, then on to the next chapter from its last page;
    // previous goes back the same way.
    const QStringList expected { "/one-1.htm", "/two.htm", "/two-1.htm" };
    for (const QString& page : expected) {
        reading.Press(Qt::Key_PageDown, Qt::ControlModifier);
        ASSERT_TRUE(window.WaitForLoad());
        EXPECT_EQ(CurrentPage(window), page);
    }
    reading.Press(Qt::Key_PageUp, Qt::ControlModifier);
    ASSERT_TRUE(window.WaitForLoad());
    EXPECT_EQ(CurrentPage(window), QStringLiteral("/two.htm"));

    // The filter keeps the entries holding every word, with the entries above them.
    QTest::keyClicks(panel->Filter(), QStringLiteral("point TWO"));
    EXPECT_EQ(Shown(tree), QStringLiteral("[Two]|Two point one"));
    // Down and Enter go to the match, not to the entry above it that shows only to place it.
    QTest::keyClick(panel->Filter(), Qt::Key_Down);
    ASSERT_NE(tree.currentItem(), nullptr);
    EXPECT_EQ(tree.currentItem()->text(0), QStringLiteral("Two point one"));
    panel->Filter()->setFocus();
    QTest::keyClick(panel->Filter(), Qt::Key_Return);
    ASSERT_TRUE(window.WaitForLoad());
    EXPECT_EQ(CurrentPage(window), QStringLiteral("/two-1.htm"));
    panel->Filter()->clear();
    EXPECT_EQ(Shown(tree), QStringLiteral("One|One point one|Two|[Two point one]"));

    reading.Press(Qt::Key_F9);
    EXPECT_TRUE(WaitUntil([&] { return !panel->isVisible(); }));
}

TEST(ContentsPanel, TheBooksStoredContentsOpenAtStartWhenItAsks)
{
    TTestBook book;
    book.writer.AddPage("/index.htm", Chapter("Home"));
    book.writer.AddPage("/a.htm", Chapter("A"));
    TStoredContents stored;
    stored.openAtStart = true;
    stored.entries = { { "Start", "/index.htm", "", { { "Ay", "/a.htm", "", {} } } } };
    book.writer.AddPage(std::string(kContentsEntryName), StoredContentsJson(stored));
    TViewerWindow window(book.Save());
    window.ShowAndWaitForHome();
    TContentsPanel* panel = window.Form().ContentsPanelMade();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return panel->isVisible(); }));
    EXPECT_TRUE(WaitUntil([&] { return Shown(*panel->Tree()) == QStringLiteral("[Start]|Ay"); }))
        << Shown(*panel->Tree()).toStdString();
}

TEST(ContentsPanel, AHomePageSpelledOtherwiseIsFoundAndAPageNoEntryNamesScrollsToTheTop)
{
    TContents contents { { "Welcome", "./Index.html#top", "", {} } };
    for (int i = 0; i < 200; ++i)
        contents.push_back({ "Entry " + std::to_string(i), "/e" + std::to_string(i) + ".html", "", {} });
    TContentsPanel panel(contents, nullptr);
    panel.resize(300, 200);
    panel.show();
    QTreeWidget& tree = *panel.Tree();
    panel.ShowPlace({ QStringLiteral("/index.html"), QString() });
    EXPECT_EQ(tree.currentItem()->text(0), QStringLiteral("Welcome"));
    EXPECT_TRUE(tree.currentItem()->isSelected());
    panel.ShowPlace({ QStringLiteral("/e199.html"), QString() });
    EXPECT_GT(tree.verticalScrollBar()->value(), 0);
    panel.ShowPlace({ QStringLiteral("/search.html"), QString() });
    EXPECT_TRUE(tree.selectedItems().isEmpty());
    EXPECT_EQ(tree.verticalScrollBar()->value(), 0);
    EXPECT_EQ(ContentsTitleOf(contents, QStringLiteral("/INDEX.html")), QStringLiteral("Welcome"));
    EXPECT_EQ(ContentsTitleOf(contents, QStringLiteral("/search.html")), QString());
}

TEST(ContentsPanel, ABooksTitlesShowAsOneShortLineWithoutControlCharacters)
{
    const std::string huge(1u << 20, 'x');
    TContents contents { { "\x1b]0;owned\x07"
                           "Chapter\r\nOne\x1b[2J",
                             "/one.html", "", {} },
        { huge, "/two.html", "", {} } };
    TContentsPanel panel(contents, nullptr);
    const QTreeWidget& tree = *panel.Tree();
    ASSERT_EQ(tree.topLevelItemCount(), 2);
    EXPECT_EQ(tree.topLevelItem(0)->text(0), QStringLiteral(" ]0;owned Chapter  One [2J"));
    EXPECT_EQ(tree.topLevelItem(1)->text(0), QString(qsizetype(kDisplayTextLength), u'x') + QChar(0x2026));
    EXPECT_EQ(ContentsTitleOf(contents, QStringLiteral("/two.html")).size(), qsizetype(kDisplayTextLength) + 1)
        << "the title the window caption takes is cut alike";
}
