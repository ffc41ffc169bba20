// What a screen reader hears of the viewer's panels, read through Qt's accessibility interfaces
// as the AT-SPI bridge reads them: the fields and lists are named, and each search result is read
// as its title and snippet although a label draws it.
#include "viewer/tests/ViewerFixture.h"

#include "viewer/contents/ContentsPanel.h"
#include "viewer/search/SearchPanel.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

QString NameOf(QObject* object)
{
    QAccessibleInterface* node = QAccessible::queryAccessibleInterface(object);
    return node != nullptr ? node->text(QAccessible::Name) : QString();
}

QStringList ChildNames(QObject* object)
{
    QStringList names;
    QAccessibleInterface* node = QAccessible::queryAccessibleInterface(object);
    for (int i = 0; node != nullptr && i < node->childCount(); ++i) {
        if (QAccessibleInterface* child = node->child(i);
            child != nullptr && child->role() != QAccessible::ColumnHeader)
            names << child->text(QAccessible::Name);
    }
    return names;
}

} // namespace

TEST(AccessibleNames, ThePanelsFieldsListsAndResultsHaveNamesAScreenReaderReads)
{
    TTestBook book;
    book.writer.AddPage("/index.htm", "<html><head><title>Home</title></head><body><p>Start.</p></body></html>");
    book.writer.AddPage("/airship.htm",
        "<html><head><title>Airships</title></head><body><p>The zeppelin is a rigid airship.</p></body></html>");
    book.writer.settings.display.showMenu = true;
    TViewerWindow window(book.Save());
    window.ShowAndWaitForHome();
    TBookMainForm& form = window.Form();

    QTest::keyClick(&form, Qt::Key_F9);
    TContentsPanel* contents = form.ContentsPanelMade();
    ASSERT_NE(contents, nullptr);
    EXPECT_EQ(NameOf(contents->Filter()), QStringLiteral("Filter the contents"));
    EXPECT_EQ(NameOf(contents->Tree()), QStringLiteral("Contents of the book"));

    QTest::keyClick(&form, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    auto* panel = form.findChild<TSearchPanel*>();
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return panel->isVisible() && panel->Field()->hasFocus(); }));
    EXPECT_EQ(NameOf(panel->Field()), QStringLiteral("Search the book"));
    EXPECT_EQ(NameOf(panel->Results()), QStringLiteral("Pages found"));
    QTest::keyClicks(panel->Field(), QStringLiteral("zeppelin "));
    ASSERT_TRUE(WaitUntil([&] { return panel->Results()->count() == 1; }));
    const QStringList results = ChildNames(panel->Results());
    ASSERT_EQ(results.size(), 1);
    EXPECT_TRUE(results[0].contains(QStringLiteral("Airships"))) << results[0].toStdString();
    EXPECT_TRUE(results[0].contains(QStringLiteral("rigid airship"))) << results[0].toStdString();
}
