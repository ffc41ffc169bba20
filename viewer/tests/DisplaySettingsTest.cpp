#include "viewer/tests/ViewerFixture.h"

#include "browserhost/EmbeddedBrowser.h"
#include "viewer/BookMainDesign.h"

#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QTest>
#include <QToolButton>
#include <QWebEngineView>

#include <fstream>

#include <gtest/gtest.h>

namespace {

const std::string kPage = "<html><head><title>Page</title></head><body><p>text</p>"
                          "<a id=\"next\" href=\"next.htm\">next</a></body></html>";

DisplaySettings Shown(WindowSizeMode size, WindowPositionMode position = WindowPositionMode::Custom)
{
    DisplaySettings display;
    display.sizeMode = size;
    display.positionMode = position;
    display.windowLeft = 262;
    display.windowTop = 234;
    display.windowWidth = 500;
    display.windowHeight = 300;
    display.resizable = true;
    display.showMenu = true;
    display.showToolbar = true;
    display.allowPrint = true;
    return display;
}

// A window on a two-page book with these settings, shown and with its home page loaded.
struct TShownBook {
    TTestBook book;
    std::unique_ptr<TViewerWindow> window;

    explicit TShownBook(const DisplaySettings& display)
    {
        book.writer.settings.display = display;
        book.writer.AddPage("/index.htm", kPage);
        book.writer.AddPage("/next.htm", kPage);
        window = std::make_unique<TViewerWindow>(book.Save());
        window->ShowAndWaitForHome();
    }

    TBookMainForm& Form() { return window->Form(); }
    const Ui::BookMainForm& ui() { return window->Form().Designed(); }
    QWidget* Button(const char* name) { return Form().findChild<QWidget*>(QString::fromLatin1(name)); }
    QAction* Item(const char* name) { return Form().findChild<QAction*>(QString::fromLatin1(name)); }
};

QSize PrimaryScreen()
{
    return QGuiApplication::primaryScreen()->size();
}

} // namespace

TEST(DisplaySettings, ANormalWindowAtCustomBoundsHasExactlyThatOuterRectangleAndTheDesignedToolbar)
{
    TShownBook shown(Shown(WindowSizeMode::Normal));
    EXPECT_EQ(shown.Form().frameGeometry(), QRect(262, 234, 500, 300));
    EXPECT_TRUE(shown.ui().MainMenu->isVisible());
    EXPECT_TRUE(shown.ui().ToolBarPanel->isVisible());
    EXPECT_FALSE(shown.ui().SystemPanel->isVisible());
    EXPECT_EQ(shown.ui().ToolBarPanel->height(), 49);
    EXPECT_EQ(shown.Button("HomeButton")->size(), QSize(53, 42));
    EXPECT_EQ(shown.ui().ToolBar->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    EXPECT_TRUE(shown.Button("PrintButton")->isVisible());
    EXPECT_TRUE(shown.Item("SeparatorButton")->isVisible());
    EXPECT_EQ(shown.ui().Browser->frameShape(), QFrame::StyledPanel);
    const Qt::WindowFlags flags = shown.Form().windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_NE(shown.Form().minimumSize(), shown.Form().maximumSize()) << "sizeable";
}

TEST(DisplaySettings, CentringUsesTheOuterSizeAndNeverGoesNegative)
{
    const QSize screen = PrimaryScreen();
    {
        TShownBook shown(Shown(WindowSizeMode::Normal, WindowPositionMode::ScreenCenter));
        EXPECT_EQ(
            shown.Form().frameGeometry(), QRect((screen.width() - 500) / 2, (screen.height() - 300) / 2, 500, 300));
    }
    {
        DisplaySettings wide = Shown(WindowSizeMode::Normal, WindowPositionMode::DesktopCenter);
        wide.windowWidth = screen.width() + 400;
        TShownBook shown(wide);
        const QSize desktop = QGuiApplication::primaryScreen()->virtualSize();
        EXPECT_EQ(shown.Form().frameGeometry().topLeft(), QPoint(0, (desktop.height() - 300) / 2));
        EXPECT_EQ(
            shown.Form().frameGeometry().width(), QGuiApplication::primaryScreen()->availableVirtualSize().width())
            << "no wider than the screens allow";
    }
}

TEST(DisplaySettings, AWindowLargerThanTheScreensOpensAsLargeAsTheyAllow)
{
    // A forged header: the engine cannot draw a window two billion pixels high.
    DisplaySettings huge = Shown(WindowSizeMode::Normal);
    huge.windowWidth = 640;
    huge.windowHeight = 2'000'000'000;
    TShownBook shown(huge);
    const QSize available = QGuiApplication::primaryScreen()->availableVirtualSize();
    EXPECT_EQ(shown.Form().frameGeometry().size(), QSize(640, available.height()));
    EXPECT_TRUE(shown.window->PageText().contains(QStringLiteral("next"))) << "the page still shows";
}

TEST(DisplaySettings, AWindowOutsideEveryScreenComesOntoThePrimaryOneWithItsSize)
{
    DisplaySettings far = Shown(WindowSizeMode::Normal);
    far.windowLeft = 9000;
    far.windowTop = -4000;
    TShownBook shown(far);
    const QRect outer = shown.Form().frameGeometry();
    EXPECT_EQ(outer.size(), QSize(500, 300));
    EXPECT_TRUE(QRect(QPoint(0, 0), PrimaryScreen()).contains(outer));
}

TEST(DisplaySettings, AFixedBorderDropsMinimizeAndMaximizeAndStillMaximizesOrCoversTheScreen)
{
    DisplaySettings maximized = Shown(WindowSizeMode::Maximized);
    maximized.resizable = false;
    {
        TShownBook shown(maximized);
        EXPECT_TRUE(WaitUntil([&] { return shown.Form().isMaximized(); }));
        const Qt::WindowFlags flags = shown.Form().windowFlags();
        EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
        EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
        EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
        EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
    }
    DisplaySettings adjusted = maximized;
    adjusted.sizeMode = WindowSizeMode::AdjustedToScreen;
    {
        TShownBook shown(adjusted);
        EXPECT_EQ(shown.Form().frameGeometry(), QRect(QPoint(0, 0), PrimaryScreen()));
        EXPECT_FALSE(shown.Form().isMaximized());
        EXPECT_EQ(shown.Form().minimumSize(), shown.Form().maximumSize()) << "a fixed size";
        EXPECT_FALSE(shown.Form().windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    }
}

TEST(DisplaySettings, FullScreenIsBorderlessMaximizedWithTheSlimToolbarRowWhateverMenuAndToolbarSay)
{
    DisplaySettings full = Shown(WindowSizeMode::FullScreen);
    full.showToolbar = false;
    full.showMenu = true;
    TShownBook shown(full);
    EXPECT_TRUE(WaitUntil([&] { return shown.Form().isMaximized(); }));
    EXPECT_TRUE(shown.Form().windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_FALSE(shown.ui().MainMenu->isVisible());
    EXPECT_TRUE(shown.ui().ToolBarPanel->isVisible());
    EXPECT_EQ(shown.ui().ToolBarPanel->height(), 23);
    EXPECT_EQ(shown.Button("BackButton")->size(), QSize(16, 16));
    EXPECT_EQ(shown.ui().ToolBar->toolButtonStyle(), Qt::ToolButtonIconOnly);
    EXPECT_TRUE(shown.ui().SystemPanel->isVisible());
    EXPECT_TRUE(shown.ui().CloseButton->isVisible());
    EXPECT_EQ(shown.ui().Browser->frameShape(), QFrame::NoFrame) << "no 3-D border";
    EXPECT_EQ(shown.ui().Browser->HostUIFlagsValue(), 0x4);

    shown.ui().CloseButton->click();
    EXPECT_FALSE(shown.Form().isVisible());
}

TEST(DisplaySettings, WithoutPrintTheButtonItsSeparatorAndTheMenuItemGoAndTheMenuKeepsOneSeparator)
{
    DisplaySettings noPrint = Shown(WindowSizeMode::Normal);
    noPrint.allowPrint = false;
    TShownBook shown(noPrint);
    EXPECT_FALSE(shown.Button("PrintButton")->isVisible());
    EXPECT_FALSE(shown.Item("SeparatorButton")->isVisible());
    EXPECT_TRUE(shown.Item("ToolButton6")->isVisible());

    QMenu* book = shown.ui().BookMenu;
    book->popup(QPoint(0, 0));
    ASSERT_TRUE(WaitUntil([&] { return book->isVisible(); }));
    QStringList shownItems;
    for (QAction* item : book->actions()) {
        if (!book->actionGeometry(item).isEmpty())
            shownItems << (item->isSeparator() ? QStringLiteral("-") : item->text());
    }
    book->hide();
    // The designed items first; the viewer's later additions follow them.
    EXPECT_EQ(shownItems.mid(0, 4),
        (QStringList {
            QStringLiteral("&Back"), QStringLiteral("&Forward"), QStringLiteral("-"), QStringLiteral("E&xit") }));
    EXPECT_EQ(shownItems.mid(4, 2), (QStringList { QStringLiteral("-"), QStringLiteral("&Dark Reading Mode") }));
    EXPECT_EQ(shownItems.mid(6),
        (QStringList { QStringLiteral("-"), QStringLiteral("&Search the Book\u2026"), QStringLiteral("&Contents"),
            QStringLiteral("Next in Contents"), QStringLiteral("Previous in Contents") }));
}

TEST(DisplaySettings, WithoutMenuAndToolbarTheBrowserFillsTheWindowAndTheKeysStillWork)
{
    DisplaySettings bare = Shown(WindowSizeMode::Normal);
    bare.showMenu = false;
    bare.showToolbar = false;
    TShownBook shown(bare);
    EXPECT_FALSE(shown.ui().MainMenu->isVisible());
    EXPECT_FALSE(shown.ui().ToolBarPanel->isVisible());
    EXPECT_EQ(shown.ui().Browser->geometry().size(), shown.ui().ClientArea->size());

    ASSERT_TRUE(shown.window->FollowLink(QStringLiteral("next")));
    // The page has the keyboard; Ctrl+Left still reaches Back, and Ctrl+Right Forward.
    QWidget* page = shown.ui().Browser->View()->focusProxy();
    ASSERT_NE(page, nullptr);
    page->setFocus();
    QTest::keyClick(page, Qt::Key_Left, Qt::ControlModifier);
    ASSERT_TRUE(shown.window->WaitForLoad());
    EXPECT_EQ(shown.Form().VisitedIndex(), 0);
    QTest::keyClick(page, Qt::Key_Right, Qt::ControlModifier);
    ASSERT_TRUE(shown.window->WaitForLoad());
    EXPECT_EQ(shown.Form().VisitedIndex(), 1);
}

TEST(DisplaySettings, AnInvalidBookKeepsTheDesignedWindow)
{
    TTestBook book;
    const std::string file = (book.Folder() / "empty.ebook").string();
    {
        std::ofstream(file) << "not a book";
    }
    TViewerWindow window(file);
    window.Form().show();
    const Ui::BookMainForm& ui = window.Form().Designed();
    EXPECT_TRUE(ui.MainMenu->isVisible());
    EXPECT_FALSE(ui.ToolBarPanel->isVisible());
    EXPECT_FALSE(ui.ActionPrint->isVisible());
    EXPECT_EQ(window.Form().geometry().size(), QSize(572, 412));
    EXPECT_TRUE(window.Form().windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
}
