// Reading on from page to page as a reader does, by keys sent through the window system and the
// wheel: into the next page past a page's end, back into the previous one at its end, never for a
// key meant for a form field nor for the first push of the wheel at the end; the progress line;
// full screen and printing by key; an EPUB's first page and captions.
#include "viewer/tests/ViewerFixture.h"

#include "browserhost/EmbeddedBrowser.h"
#include "sources/tests/SampleSources.h"
#include "viewer/BookMainDesign.h"

#include <QAction>
#include <QLabel>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

std::string Page(const std::string& title, const std::string& body)
{
    return "<html><head><title>" + title + "</title></head><body><h1>" + title + "</h1>" + body + "</body></html>";
}

const std::string kTall = "<div style=\"height:5000px\"></div><p>end</p>";

struct TReader {
    TTestBook book;
    std::unique_ptr<TViewerWindow> window;

    explicit TReader(std::initializer_list<std::pair<std::string, std::string>> pages,
        WindowSizeMode mode = WindowSizeMode::Normal, bool allowPrint = true)
    {
        for (const auto& [name, content] : pages)
            book.writer.AddPage(name, content);
        DisplaySettings& display = book.writer.settings.display;
        display.sizeMode = mode;
        display.windowWidth = 800;
        display.windowHeight = 600;
        display.resizable = true;
        display.showMenu = true;
        display.showToolbar = true;
        display.allowPrint = allowPrint;
        window = std::make_unique<TViewerWindow>(book.Save());
        window->ShowAndWaitForHome();
        EXPECT_TRUE(WaitUntil([&] { return QGuiApplication::focusWindow() == Form().windowHandle(); }));
        // The window system's reports of the first show come in before the window's state changes.
        EXPECT_TRUE(QTest::qWaitForWindowExposed(Form().windowHandle()));
        QTest::qWait(300);
        // Keys go to the page, as after a click into it.
        Form().Designed().Browser->View()->focusProxy()->setFocus();
    }

    TBookMainForm& Form() { return window->Form(); }
    void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        // A change of window state may take the focus away for a moment.
        EXPECT_TRUE(WaitUntil([&] { return QGuiApplication::focusWindow() == Form().windowHandle(); }));
        QTest::keyClick(Form().windowHandle(), static_cast<Qt::Key>(key), modifiers);
    }
    QString Shown() { return window->RunScript(QStringLiteral("location.pathname")); }
    QString Progress()
    {
        const auto* label = Form().findChild<QLabel*>(QStringLiteral("ReadingProgress"));
        return label != nullptr && label->isVisible() ? label->text() : QString();
    }
    bool AtEnd()
    {
        return window->RunScript(QStringLiteral("String(window.scrollY > 0 && window.scrollY + window.innerHeight >= "
                                                "document.scrollingElement.scrollHeight - 2)"))
            == QStringLiteral("true");
    }
    // `pushes` turns of the wheel in one go, with no pause between them however busy the machine.
    void Wheel(int pushes = 1)
    {
        window->RunScript(QStringLiteral("for (let i = 0; i < %1; ++i) "
                                         "window.dispatchEvent(new WheelEvent('wheel', {deltaY: 120}))")
                              .arg(pushes));
    }
};

} // namespace

TEST(ContinuousReading, KeysAndTheWheelGoOnPastAPagesEndAndBackPastItsTop)
{
    TReader reading(
        { { "/index.htm",
              Page("Home", "<ul><li><a href='one.htm'>One</a></li><li><a href='two.htm'>Two</a></li></ul>") },
            { "/one.htm", Page("One", kTall) }, { "/two.htm", Page("Two", "<input id='field'>") } });
    TViewerWindow& window = *reading.window;
    // The home page fits the window: it is at its end, and Space goes on into the first chapter.
    // It stands before the contents' first page: its line has no chapter.
    ASSERT_TRUE(WaitUntil([&] { return reading.Progress() == QStringLiteral("100%"); }))
        << reading.Progress().toStdString();
    reading.Press(Qt::Key_Space);
    ASSERT_TRUE(window.WaitForLoad());
    EXPECT_EQ(reading.Shown(), QStringLiteral("/one.htm"));
    EXPECT_TRUE(WaitUntil([&] { return reading.Progress() == QStringLiteral("Chapter 1 of 2 \u00B7 0%"); }))
        << reading.Progress().toStdString();

    // Not at the end, Space and Page Down scroll.
    reading.Press(Qt::Key_Space);
    reading.Press(Qt::Key_PageDown);
    EXPECT_FALSE(window.WaitForLoadWithin(std::chrono::milliseconds(800)));
    EXPECT_TRUE(WaitUntil([&] {
        return reading.Progress().endsWith(QStringLiteral("%"))
            && reading.Progress() != QStringLiteral("Chapter 1 of 2 \u00B7 0%");
    })) << reading.Progress().toStdString();

    // At the end, the first push of the wheel does not turn the page; a second one after a pause does.
    window.RunScript(QStringLiteral("window.scrollTo(0, document.scrollingElement.scrollHeight)"));
    EXPECT_TRUE(WaitUntil([&] { return reading.Progress() == QStringLiteral("Chapter 1 of 2 \u00B7 100%"); }))
        << reading.Progress().toStdString();
    reading.Wheel(2);
    EXPECT_FALSE(window.WaitForLoadWithin(std::chrono::milliseconds(500)));
    reading.Wheel();
    ASSERT_TRUE(window.WaitForLoad());
    EXPECT_EQ(reading.Shown(), QStringLiteral("/two.htm"));
    EXPECT_TRUE(WaitUntil([&] { return reading.Progress() == QStringLiteral("Chapter 2 of 2 \u00B7 100%"); }))
        << reading.Progress().toStdString();

    // A short page with a field: Space and Down are the field's, and the last page goes nowhere.
    window.RunScript(QStringLiteral("document.getElementById('field').focus()"));
    reading.Press(Qt::Key_Space);
    reading.Press(Qt::Key_Down);
    EXPECT_FALSE(window.WaitForLoadWithin(std::chrono::milliseconds(800)));
    EXPECT_EQ(window.RunScript(QStringLiteral("document.getElementById('field').value")), QStringLiteral(" "));
    window.RunScript(QStringLiteral("document.activeElement.blur()"));
    reading.Press(Qt::Key_Space);
    EXPECT_FALSE(window.WaitForLoadWithin(std::chrono::milliseconds(800)));

    // Page Up at the top goes back into the previous page, which opens at its end.
    reading.Press(Qt::Key_PageUp);
    ASSERT_TRUE(window.WaitForLoad());
    EXPECT_EQ(reading.Shown(), QStringLiteral("/one.htm"));
    EXPECT_TRUE(WaitUntil([&] { return reading.AtEnd(); }));
    EXPECT_TRUE(WaitUntil([&] { return reading.Progress() == QStringLiteral("Chapter 1 of 2 \u00B7 100%"); }))
        << reading.Progress().toStdString();
    // Shift+Space at the top of the first chapter goes back to the home page, before the contents.
    window.RunScript(QStringLiteral("window.scrollTo(0, 0)"));
    EXPECT_TRUE(WaitUntil([&] { return reading.Progress() == QStringLiteral("Chapter 1 of 2 \u00B7 0%"); }));
    reading.Press(Qt::Key_Space, Qt::ShiftModifier);
    ASSERT_TRUE(window.WaitForLoad());
    EXPECT_EQ(reading.Shown(), QStringLiteral("/index.htm"));
    EXPECT_TRUE(WaitUntil([&] { return reading.Progress() == QStringLiteral("100%"); }))
        << reading.Progress().toStdString();
}

TEST(ContinuousReading, F11TogglesFullScreenFromTheBooksOwnModeEscLeavesItAndCtrlPPrints)
{
    {
        TReader reading({ { "/index.htm", Page("Home", "<p>x</p>") } });
        TBookMainForm& form = reading.Form();
        reading.Press(Qt::Key_F11);
        EXPECT_TRUE(WaitUntil([&] { return form.isFullScreen(); }));
        EXPECT_FALSE(form.Designed().MainMenu->isVisible());
        EXPECT_FALSE(form.Designed().ToolBarPanel->isVisible());
        reading.Press(Qt::Key_F11);
        EXPECT_TRUE(WaitUntil([&] { return !form.isFullScreen(); }));
        EXPECT_TRUE(form.Designed().MainMenu->isVisible());
        EXPECT_TRUE(form.Designed().ToolBarPanel->isVisible());
        // Esc in the page leaves full screen.
        reading.Press(Qt::Key_F11);
        ASSERT_TRUE(WaitUntil([&] { return form.isFullScreen(); }));
        form.Designed().Browser->View()->focusProxy()->setFocus();
        reading.Press(Qt::Key_Escape);
        EXPECT_TRUE(WaitUntil([&] { return !form.isFullScreen(); }));

        // Ctrl+P is the print command's key, and the Keys dialog lists it with F11.
        QSignalSpy printed(form.Designed().ActionPrint, &QAction::triggered);
        reading.Press(Qt::Key_P, Qt::ControlModifier);
        EXPECT_EQ(printed.count(), 1);
        QStringList keys;
        for (const QAction* action : form.actions())
            if (!action->shortcuts().isEmpty())
                keys << action->shortcut().toString() + u'=' + action->objectName();
        EXPECT_TRUE(keys.contains(QStringLiteral("Ctrl+P=ActionPrint"))) << keys.join(u' ').toStdString();
        EXPECT_TRUE(keys.contains(QStringLiteral("F11=ActionFullScreen"))) << keys.join(u' ').toStdString();
    }
    {
        // A book that opens in its own full-screen layout keeps it, and F11 toggles from there.
        TReader reading({ { "/index.htm", Page("Home", "<p>x</p>") } }, WindowSizeMode::FullScreen, false);
        TBookMainForm& form = reading.Form();
        EXPECT_TRUE(WaitUntil([&] { return form.isMaximized(); }));
        reading.Press(Qt::Key_F11);
        EXPECT_TRUE(WaitUntil([&] { return form.isFullScreen(); }));
        reading.Press(Qt::Key_F11);
        EXPECT_TRUE(WaitUntil([&] { return !form.isFullScreen(); }));
        EXPECT_TRUE(form.isMaximized());
        EXPECT_TRUE(form.windowFlags().testFlag(Qt::FramelessWindowHint));
        EXPECT_TRUE(form.Designed().ToolBarPanel->isVisible());
        // Where the book does not allow printing, Ctrl+P does nothing.
        QSignalSpy printed(form.Designed().ActionPrint, &QAction::triggered);
        reading.Press(Qt::Key_P, Qt::ControlModifier);
        EXPECT_EQ(printed.count(), 0);
    }
}

TEST(ContinuousReading, AnEpubOpensOnItsFirstPageAndReadsOnThroughItsSpine)
{
    TTestBook temp;
    WriteSampleEpub(temp.Folder() / "sample.epub");
    TViewerWindow window((temp.Folder() / "sample.epub").string());
    window.ShowAndWaitForHome();
    // Its first page in reading order, not the contents page written for it.
    EXPECT_EQ(window.RunScript(QStringLiteral("location.pathname")), QStringLiteral("/OEBPS/index.xhtml"));
    TBookMainForm& form = window.Form();
    EXPECT_TRUE(WaitUntil([&] {
        const auto* label = form.findChild<QLabel*>(QStringLiteral("ReadingProgress"));
        return label != nullptr && label->text() == QStringLiteral("Chapter 1 of 2 \u00B7 100%");
    }));
    form.Designed().Browser->View()->focusProxy()->setFocus();
    QTest::keyClick(form.windowHandle(), Qt::Key_PageDown);
    ASSERT_TRUE(window.WaitForLoad());
    EXPECT_EQ(window.RunScript(QStringLiteral("location.pathname")), QStringLiteral("/OEBPS/text/chapter.xhtml"));
    // Home is still the book's home page.
    form.Designed().ActionHome->trigger();
    ASSERT_TRUE(window.WaitForLoad());
    EXPECT_EQ(window.RunScript(QStringLiteral("location.pathname")), QStringLiteral("/contents.html"));
}
