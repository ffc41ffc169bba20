#include "viewer/search/SearchPanel.h"
#include "browserhost/EmbeddedBrowser.h"
#include "sources/tests/SampleSources.h"
#include "viewer/BookMainDesign.h"
#include "viewer/tests/ViewerFixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <gtest/gtest.h>

namespace {

// The panel Ctrl+Shift+F opens, once it shows with the typing field taking the keys; null else.
TSearchPanel* OpenedSearchPanel(TBookMainForm& form)
{
    QTest::keyClick(&form, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    auto* panel = form.findChild<TSearchPanel*>();
    if (panel == nullptr || !WaitUntil([&] { return panel->isVisible() && panel->Field()->hasFocus(); }))
        return nullptr;
    return panel;
}

} // namespace

// The search panel driven by keys and clicks: Ctrl+Shift+F with the menu bar and toolbar hidden,
// results as the person types, Enter and a click opening pages with the words found on them.
TEST(ViewerSearch, TypingListsRankedPagesAndEnterOrAClickOpensThemWithTheWordsFound)
{
    TTestBook book;
    book.writer.AddPage("/index.htm", "<html><head><title>Home</title></head><body><p>Start here.</p></body></html>");
    for (int i = 0; i < 300; ++i)
        book.writer.AddPage("/filler" + std::to_string(i) + ".htm",
            "<html><head><title>Filler " + std::to_string(i) + "</title></head><body><p>Nothing to see "
                + std::to_string(i) + "</p></body></html>");
    // The one mention comes after a screenful of other text: opening the page shows it.
    std::string before;
    for (int i = 0; i < 80; ++i)
        before += "<p>Line " + std::to_string(i) + " of the story.</p>";
    book.writer.AddPage("/mention.htm",
        "<html><head><title>Airships</title></head><body>" + before
            + "<p>Once a Zeppelin flew over the sea.</p></body></html>");
    book.writer.AddPage("/zeppelin.htm",
        "<html><head><title>Zeppelin facts</title></head><body><p>The zeppelin is a rigid airship; a zeppelin "
        "flies. Airships float.</p></body></html>");
    // A fixed window of a common size, its menu bar and toolbar hidden.
    book.writer.settings.display.windowWidth = 640;
    book.writer.settings.display.windowHeight = 480;
    ASSERT_FALSE(book.writer.settings.display.resizable);
    ASSERT_FALSE(book.writer.settings.display.showMenu);
    ASSERT_FALSE(book.writer.settings.display.showToolbar);
    TViewerWindow window(book.Save());
    window.ShowAndWaitForHome();
    TBookMainForm& form = window.Form();

    TSearchPanel* panel = OpenedSearchPanel(form);
    ASSERT_NE(panel, nullptr);
    // The window grew for the panel instead of giving the page's room to it.
    EXPECT_TRUE(WaitUntil([&] { return form.Designed().Browser->View()->width() >= panel->width(); }))
        << form.Designed().Browser->View()->width();

    // While typing, the last word finds the longer words it begins.
    QTest::keyClicks(panel->Field(), QStringLiteral("zeppe"));
    QListWidget* list = panel->Results();
    ASSERT_TRUE(WaitUntil([&] { return list->count() == 2 && panel->Status()->text() == QStringLiteral("2 pages"); }))
        << panel->Status()->text().toStdString();
    // The page titled with the word comes first.
    EXPECT_EQ(list->item(0)->data(Qt::UserRole).toByteArray(), QByteArray("/zeppelin.htm"));
    EXPECT_TRUE(qobject_cast<QLabel*>(list->itemWidget(list->item(0)))->text().contains("<b>zeppelin</b>"));

    // Enter takes the words whole; every word of the query is marked on the page opened.
    const auto marks = [&] {
        return window.RunScript(QStringLiteral("String(document.querySelectorAll('mark.ebook-search-mark').length)"));
    };
    QTest::keyClicks(panel->Field(), QStringLiteral("lin airship"));
    QTest::keyClick(panel->Field(), Qt::Key_Return);
    ASSERT_TRUE(window.WaitForLoad());
    EXPECT_TRUE(form.Designed().Browser->View()->url().path().endsWith("/zeppelin.htm"));
    EXPECT_TRUE(WaitUntil([&] { return marks() == QStringLiteral("4"); })) << marks().toStdString();

    // The other result opens scrolled to its first match, the only one, far down the page.
    const QRect second = list->visualItemRect(list->item(1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, second.center());
    ASSERT_TRUE(window.WaitForLoad());
    EXPECT_TRUE(form.Designed().Browser->View()->url().path().endsWith("/mention.htm"));
    EXPECT_TRUE(WaitUntil([&] { return marks() == QStringLiteral("1"); })) << marks().toStdString();
    const QString inView = QStringLiteral("(() => { const r = document.querySelector('mark.ebook-search-mark')"
                                          ".getBoundingClientRect(); return String(window.scrollY > 0 && r.top >= 0"
                                          " && r.bottom <= window.innerHeight); })()");
    EXPECT_TRUE(WaitUntil([&] { return window.RunScript(inView) == QStringLiteral("true"); }));

    // A word nowhere in the book; then a query of nothing searchable clears the list.
    panel->Field()->clear();
    QTest::keyClicks(panel->Field(), QStringLiteral("dirigible "));
    EXPECT_TRUE(WaitUntil([&] { return list->count() == 0 && panel->Status()->text() == "0 pages"; }));
    panel->Field()->clear();
    EXPECT_TRUE(WaitUntil([&] { return panel->Status()->text().isEmpty(); }));
}

// An EPUB and a folder have search too: titles beginning with the words above the results, each
// result with its place in the contents, and a title opening its page.
TEST(ViewerSearch, AnEpubAndAFolderAreSearchedWithTitlesOfferedAboveTheResults)
{
    TTestBook temp;
    WriteSampleEpub(temp.Folder() / "sample.epub");
    WriteSampleFolder(temp.Folder() / "folder");
    for (const char* name : { "sample.epub", "folder" }) {
        SCOPED_TRACE(name);
        TViewerWindow window((temp.Folder() / name).string());
        window.ShowAndWaitForHome();
        TBookMainForm& form = window.Form();
        TSearchPanel* panel = OpenedSearchPanel(form);
        ASSERT_NE(panel, nullptr);

        QTest::keyClicks(panel->Field(), QStringLiteral("vacu"));
        QListWidget* list = panel->Results();
        ASSERT_TRUE(WaitUntil([&] { return list->count() == 1; })) << panel->Status()->text().toStdString();
        const QString result = qobject_cast<QLabel*>(list->itemWidget(list->item(0)))->text();
        EXPECT_TRUE(result.contains("<b>Chapter</b>")) << result.toStdString();
        EXPECT_TRUE(result.contains("<b>vacuum</b>")) << result.toStdString();
        if (std::string(name) == "sample.epub") {
            EXPECT_TRUE(result.contains("<small>Home</small>")) << result.toStdString();
        }
        EXPECT_FALSE(panel->Suggestions()->isVisible()) << "no title begins with the word";

        panel->Field()->clear();
        QTest::keyClicks(panel->Field(), QStringLiteral("CHAP"));
        QListWidget* titles = panel->Suggestions();
        ASSERT_TRUE(WaitUntil([&] { return titles->isVisible() && titles->count() > 0; }));
        EXPECT_EQ(titles->item(0)->text(), QStringLiteral("Chapter"));
        QTest::mouseClick(titles->viewport(), Qt::LeftButton, {}, titles->visualItemRect(titles->item(0)).center());
        ASSERT_TRUE(window.WaitForLoad());
        EXPECT_TRUE(form.Designed().Browser->View()->url().path().endsWith("chapter.xhtml")
            || form.Designed().Browser->View()->url().path().endsWith("chapter.html"))
            << form.Designed().Browser->View()->url().toString().toStdString();
    }
}
