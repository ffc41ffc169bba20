// The reader's aids driven as a reader drives them, by key presses and mouse buttons sent through
// the window system: zoom, find in page, Back and Forward by keys and side buttons, anchors and
// scroll positions, outside links, the dark reading mode, the Keys dialog and a file that is no
// book.
#include "viewer/tests/ViewerFixture.h"

#include "browserhost/EmbeddedBrowser.h"
#include "browserhost/OutsideLinks.h"
#include "sources/SourceKind.h"
#include "viewer/BookMainDesign.h"
#include "viewer/contents/ContentsPanel.h"
#include "viewer/reading/DarkMode.h"
#include "viewer/reading/FindBar.h"
#include "viewer/reading/ZoomControl.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <QTreeWidget>

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;

namespace {

// A page titled title, tall enough to scroll, with links to the named pages (ids their names
// without extension), a paragraph id="far" well down the page and a link to it.
std::string TallPage(const std::string& title, const std::vector<std::string>& links)
{
    std::string page = "<html><head><title>" + title + "</title></head><body><h1>" + title + "</h1>";
    for (const std::string& link : links)
        page += "<a id=\"" + link.substr(0, link.find('.')) + "\" href=\"" + link + "\">" + link + "</a> ";
    page += "<a id=\"tofar\" href=\"#far\">far</a><div style=\"height:4000px\"></div><p id=\"far\">far away</p>"
            "<div style=\"height:4000px\"></div></body></html>";
    return page;
}

struct TReadingBook {
    TTestBook book;
    std::unique_ptr<TViewerWindow> window;

    TReadingBook(std::initializer_list<std::pair<std::string, std::string>> pages)
    {
        for (const auto& [name, content] : pages)
            book.writer.AddPage(name, content);
        // A window the size of a small screen, sizeable, with menus: what a reader would see.
        DisplaySettings& display = book.writer.settings.display;
        display.windowWidth = 800;
        display.windowHeight = 600;
        display.resizable = true;
        display.showMenu = true;
        window = std::make_unique<TViewerWindow>(book.Save());
        window->ShowAndWaitForHome();
        // Keys go where a reader's would: to the window that has the focus.
        EXPECT_TRUE(WaitUntil([&] { return QGuiApplication::focusWindow() == Window(); }));
    }

    TBookMainForm& Form() { return window->Form(); }
    QWindow* Window() { return Form().windowHandle(); }
    QWebEnginePage& Page() { return *Form().Designed().Browser->Page(); }
    void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(Window(), static_cast<Qt::Key>(key), modifiers);
    }
    // A click of a mouse button over the middle of the page.
    void Click(Qt::MouseButton button)
    {
        QWidget* browser = Form().Designed().Browser;
        const QPoint middle = browser->mapTo(&Form(), browser->rect().center());
        QTest::mouseClick(Window(), button, Qt::NoModifier, middle);
    }
    // A left click on the element with this id, where the page draws it.
    void ClickElement(const QString& id)
    {
        const QStringList box = window
                                    ->RunScript(QStringLiteral("(function () { const r = document.getElementById('%1')"
                                                               ".getBoundingClientRect(); return [r.left + r.width / 2,"
                                                               " r.top + r.height / 2].join(' '); })()")
                                                    .arg(id))
                                    .split(QLatin1Char(' '));
        ASSERT_EQ(box.size(), 2);
        QWidget* view = Form().Designed().Browser->View();
        const QPoint at = view->mapTo(&Form(), QPoint(qRound(box[0].toDouble()), qRound(box[1].toDouble())));
        // A page just shown may not take the mouse yet on a busy machine, and a click sent then is
        // lost: the pointer is moved over the element until the page has seen it move.
        window->RunScript(QStringLiteral("window.ebookTestMoved = false; document.addEventListener('mousemove', "
                                         "() => { window.ebookTestMoved = true; }, { once: true }); true"));
        EXPECT_TRUE(WaitUntil([&] {
            QTest::mouseMove(Window(), at);
            return window->RunScript(QStringLiteral("String(window.ebookTestMoved)")) == QStringLiteral("true");
        }));
        QTest::mouseClick(Window(), Qt::LeftButton, Qt::NoModifier, at);
    }
    int ScrollY() { return window->RunScript(QStringLiteral("String(window.scrollY)")).toInt(); }
    std::string Address(const std::string& name) { return Form().PageServer().PageURL(name); }
};

} // namespace

TEST(ReadingAids, ZoomStepsStopAtTheirLimitsAndStayForEveryPage)
{
    TReadingBook shown({ { "/a.htm", TallPage("A", { "b.htm" }) }, { "/b.htm", TallPage("B", {}) } });
    TZoomControl& zoom = shown.Form().Zoom();
    for (int i = 0; i < 12; ++i)
        shown.Press(Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(zoom.Percent(), 25);
    shown.Press(Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(zoom.Percent(), 100);
    for (int i = 0; i < 20; ++i)
        shown.Press(Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_EQ(zoom.Percent(), 500);
    shown.Press(Qt::Key_0, Qt::ControlModifier);
    shown.Press(Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(zoom.Percent(), 110);
    EXPECT_TRUE(zoom.Badge().isVisible());
    EXPECT_EQ(zoom.Badge().text(), QStringLiteral("110 %"));

    // Ctrl with the wheel: one notch, one step.
    QWidget* pageWidget = shown.Form().Designed().Browser->View()->focusProxy();
    ASSERT_NE(pageWidget, nullptr);
    const QPointF at = pageWidget->rect().center();
    QWheelEvent wheel(at, pageWidget->mapToGlobal(at), {}, QPoint(0, 120), Qt::NoButton, Qt::ControlModifier,
        Qt::NoScrollPhase, false);
    QApplication::sendEvent(pageWidget, &wheel);
    EXPECT_EQ(zoom.Percent(), 125);

    ASSERT_TRUE(shown.window->FollowLink(QStringLiteral("b")));
    // The engine draws the new page at the book's zoom: the page sees it as its pixel ratio.
    EXPECT_TRUE(WaitUntil([&] {
        return shown.window->RunScript(QStringLiteral("String(window.devicePixelRatio)")) == QStringLiteral("1.25");
    }));
}

TEST(ReadingAids, FindCountsMatchesWalksThemAndEscClearsThem)
{
    const std::string page = "<html><body><p>An apple, an Apple, and a third apple.</p>"
                             "<p id=\"next\">Nothing here.</p></body></html>";
    TReadingBook shown({ { "/index.htm", page } });
    TFindBar& bar = shown.Form().FindBar();
    EXPECT_FALSE(bar.IsOpen());
    shown.Press(Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(bar.IsOpen());
    auto* field = bar.findChild<QLineEdit*>(QStringLiteral("FindField"));
    ASSERT_TRUE(WaitUntil([&] { return field->hasFocus(); }));
    for (const char letter : std::string("apple"))
        QTest::keyClick(shown.Window(), letter);
    ASSERT_TRUE(WaitUntil([&] { return bar.CountText() == QStringLiteral("1 of 3"); }))
        << bar.CountText().toStdString();
    shown.Press(Qt::Key_Return);
    ASSERT_TRUE(WaitUntil([&] { return bar.CountText() == QStringLiteral("2 of 3"); }))
        << bar.CountText().toStdString();
    shown.Press(Qt::Key_F3, Qt::ShiftModifier);
    ASSERT_TRUE(WaitUntil([&] { return bar.CountText() == QStringLiteral("1 of 3"); }))
        << bar.CountText().toStdString();
    bar.findChild<QWidget*>(QStringLiteral("FindMatchCase"))->setProperty("checked", true);
    ASSERT_TRUE(WaitUntil([&] { return bar.CountText().endsWith(QStringLiteral(" of 2")); }))
        << bar.CountText().toStdString();

    shown.Press(Qt::Key_Escape);
    EXPECT_FALSE(bar.IsOpen());
    EXPECT_TRUE(WaitUntil([&] {
        return shown.window->RunScript(QStringLiteral("String(window.getSelection())")).isEmpty();
    })) << "closing the bar leaves nothing marked";

    // Others open it with a text of their own; F3 then walks that text.
    bar.OpenWith(QStringLiteral("Nothing"));
    ASSERT_TRUE(WaitUntil([&] { return bar.CountText() == QStringLiteral("1 of 1"); }));
    shown.Press(Qt::Key_Escape);
    shown.Press(Qt::Key_F3);
    EXPECT_TRUE(bar.IsOpen()) << "F3 opens a closed bar";
}

TEST(ReadingAids, AltLeftAndTheSideButtonsGoThroughTheViewersHistoryOnceEach)
{
    TReadingBook shown({ { "/a.htm", TallPage("A", { "b.htm" }) }, { "/b.htm", TallPage("B", { "c.htm" }) },
        { "/c.htm", TallPage("C", {}) } });
    ASSERT_TRUE(shown.window->FollowLink(QStringLiteral("b")));
    ASSERT_TRUE(shown.window->FollowLink(QStringLiteral("c")));
    ASSERT_EQ(shown.Form().VisitedIndex(), 2);

    shown.Press(Qt::Key_Left, Qt::AltModifier);
    ASSERT_TRUE(shown.window->WaitForLoad());
    EXPECT_EQ(shown.Form().VisitedIndex(), 1);
    shown.Click(Qt::BackButton);
    ASSERT_TRUE(shown.window->WaitForLoad());
    EXPECT_EQ(shown.Form().VisitedIndex(), 0);
    EXPECT_EQ(shown.window->Caption(), QStringLiteral("Untitled eBook - A"));
    shown.Click(Qt::ForwardButton);
    ASSERT_TRUE(shown.window->WaitForLoad());
    EXPECT_EQ(shown.Form().VisitedIndex(), 1);
    shown.Press(Qt::Key_Right, Qt::AltModifier);
    ASSERT_TRUE(shown.window->WaitForLoad());
    EXPECT_EQ(shown.Form().VisitedIndex(), 2);
    EXPECT_EQ(shown.Form().VisitedURLs().Count(), 3) << "nothing recorded twice";
    // At the end Forward is disabled: neither key nor button goes anywhere.
    shown.Press(Qt::Key_Right, Qt::AltModifier);
    shown.Click(Qt::ForwardButton);
    EXPECT_FALSE(shown.window->WaitForLoadWithin(std::chrono::milliseconds(500)));
    EXPECT_EQ(shown.window->Caption(), QStringLiteral("Untitled eBook - C"));

    // F5 reloads the page in place.
    shown.Press(Qt::Key_F5);
    ASSERT_TRUE(shown.window->WaitForLoad());
    EXPECT_EQ(shown.Form().VisitedIndex(), 2);
}

TEST(ReadingAids, AnchorsAreHistoryEntriesAndBackReturnsToWhereTheReaderWas)
{
    TReadingBook shown({ { "/a.htm", TallPage("A", { "b.htm" }) }, { "/b.htm", TallPage("B", {}) } });
    shown.window->RunScript(QStringLiteral("window.scrollTo(0, 300)"));
    ASSERT_TRUE(WaitUntil([&] { return shown.ScrollY() == 300; }));
    shown.window->RunScript(QStringLiteral("document.getElementById('tofar').click()"));
    ASSERT_TRUE(WaitUntil([&] { return shown.Form().VisitedURLs().Count() == 2; }));
    EXPECT_EQ(shown.Form().VisitedURLs()[1], shown.Address("/a.htm") + "#far");
    int far = 0;
    ASSERT_TRUE(WaitUntil([&] {
        const int before = far;
        far = shown.ScrollY();
        return far > 3000 && far == before;
    })) << "the anchor is far down the page";

    // Read on a little, then follow a link to another page and come back.
    shown.window->RunScript(QStringLiteral("window.scrollBy(0, 250)"));
    ASSERT_TRUE(WaitUntil([&] { return shown.ScrollY() == far + 250; }));
    shown.window->RunScript(QStringLiteral("document.getElementById('b').click()"));
    ASSERT_TRUE(shown.window->WaitForLoad());
    shown.Press(Qt::Key_Left, Qt::AltModifier);
    ASSERT_TRUE(shown.window->WaitForLoad());
    EXPECT_TRUE(WaitUntil([&] { return shown.ScrollY() == far + 250; })) << shown.ScrollY();

    shown.Press(Qt::Key_Left, Qt::AltModifier);
    EXPECT_TRUE(WaitUntil([&] { return shown.Form().VisitedIndex() == 0 && shown.ScrollY() == 300; }))
        << "back before the anchor: " << shown.ScrollY();
    EXPECT_EQ(shown.Form().VisitedURLs().Count(), 3);
}

TEST(ReadingAids, OutsideLinksGoToTheDesktopAndNeverIntoTheWindow)
{
    QList<QUrl> asked;
    const TOutsideOpener previous = SetOutsideOpener([&](const QUrl& url) {
        asked.append(url);
        return true;
    });
    {
        const std::string page
            = "<html><head><title>Links</title></head><body>"
              "<p><a id=\"web\" href=\"https://www.example.org/docs\">web</a></p>"
              "<p><a id=\"mail\" href=\"mailto:reader@example.org\">mail</a></p>"
              "<p><a id=\"ftp\" href=\"ftp://files.example.org/x\">ftp</a></p>"
              "<p><a id=\"blank\" href=\"https://www.example.org/new\" target=\"_blank\">new</a></p>"
              "<p><button id=\"open\" onclick=\"window.open('http://other.example.org/')\">open</button></p>"
              "</body></html>";
        TReadingBook shown({ { "/index.htm", page } });
        for (const char* id : { "web", "mail", "ftp", "blank", "open" }) {
            const qsizetype before = asked.size();
            shown.ClickElement(QString::fromLatin1(id));
            EXPECT_TRUE(WaitUntil([&] { return asked.size() == before + 1; })) << id;
        }
        EXPECT_EQ(asked,
            (QList<QUrl> { QUrl(QStringLiteral("https://www.example.org/docs")),
                QUrl(QStringLiteral("mailto:reader@example.org")), QUrl(QStringLiteral("ftp://files.example.org/x")),
                QUrl(QStringLiteral("https://www.example.org/new")),
                QUrl(QStringLiteral("http://other.example.org/")) }));
        EXPECT_EQ(shown.Form().VisitedURLs().Count(), 1);
        EXPECT_EQ(shown.window->Caption(), QStringLiteral("Untitled eBook - Links"));
        EXPECT_EQ(shown.Page().url().toString().toStdString(), shown.Address("/index.htm"));

        // With no program to open it, the window says so.
        SetOutsideOpener([](const QUrl&) { return false; });
        auto* notice = shown.Form().findChild<QLabel*>(QStringLiteral("WindowNotice"));
        ASSERT_NE(notice, nullptr);
        EXPECT_FALSE(notice->isVisible());
        shown.ClickElement(QStringLiteral("web"));
        EXPECT_TRUE(WaitUntil([&] { return notice->isVisible(); }));
        EXPECT_TRUE(notice->text().contains(QStringLiteral("https://www.example.org/docs")))
            << notice->text().toStdString();
        EXPECT_EQ(shown.Form().VisitedURLs().Count(), 1);
    }
    SetOutsideOpener(previous);
}

TEST(ReadingAids, DarkModeTurnsEveryPagesColoursButNotItsPicturesAndLeavesDarkPagesAlone)
{
    // A pure red square as a picture, a background image, a canvas and an SVG drawing, side by side.
    const std::string red
        = "data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAIAAACQd1PeAAAADElEQVR4nGP4z8AAAAMBAQDJ/"
          "pLvAAAAAElFTkSuQmCC";
    const std::string at = "position:absolute;top:10px;width:40px;height:40px;left:";
    const std::string light
        = "<html><head><title>Light</title></head><body><p id=\"text\" style=\"color:#222\">light</p>"
          "<img style=\""
        + at + "10px\" src=\"" + red + "\"><div style=\"" + at + "60px;background-image:url(" + red
        + ")\"></div><canvas id=\"canvas\" width=\"40\" height=\"40\" style=\"" + at + "110px\"></canvas><svg style=\""
        + at
        + "160px\"><rect width=\"40\" height=\"40\" fill=\"red\"/></svg>"
          "<script>var c=document.getElementById('canvas').getContext('2d');c.fillStyle='red';c.fillRect(0,0,40,40);"
          "</script><a id=\"dark\" href=\"dark.htm\">dark</a>"
          "<iframe id=\"inner\" src=\"dark.htm\" style=\"position:absolute;top:300px\"></iframe></body></html>";
    const std::string dark = "<html><head><title>Dark</title></head><body style=\"background:#111;color:#ddd\">"
                             "<a id=\"light\" href=\"light.htm\">light</a></body></html>";
    TReadingBook shown({ { "/light.htm", light }, { "/dark.htm", dark } });
    const QString textColour = QStringLiteral("getComputedStyle(document.getElementById('text')).color");
    QWidget* browser = shown.Form().Designed().Browser;
    auto pixel = [&](int x, int y) { return browser->grab().toImage().pixelColor(x, y); };
    auto near = [](const QColor& colour, int r, int g, int b) {
        return std::abs(colour.red() - r) <= 3 && std::abs(colour.green() - g) <= 3 && std::abs(colour.blue() - b) <= 3;
    };
    EXPECT_EQ(shown.window->RunScript(textColour), QStringLiteral("rgb(34, 34, 34)"));

    shown.Press(Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(shown.Form().DarkMode().IsOn());
    ASSERT_TRUE(WaitUntil([&] { return shown.window->RunScript(textColour) == QStringLiteral("rgb(221, 221, 221)"); }))
        << shown.window->RunScript(textColour).toStdString();
    // The page is drawn dark; each red square keeps its own red.
    ASSERT_TRUE(WaitUntil([&] { return near(pixel(400, 200), 0, 0, 0); }));
    for (const int x : { 30, 80, 130, 180 }) {
        const QColor shownColour = pixel(x, 30);
        EXPECT_TRUE(near(shownColour, 255, 0, 0)) << x << ": " << shownColour.name().toStdString();
    }
    // The viewer's own panels follow: the find bar, and the contents panel made while dark.
    auto panelIsDark = [](QWidget* panel) { return panel->palette().color(QPalette::Base).lightness() < 64; };
    EXPECT_TRUE(panelIsDark(&shown.Form().FindBar()));
    shown.Press(Qt::Key_F9);
    ASSERT_NE(shown.Form().ContentsPanelMade(), nullptr);
    EXPECT_TRUE(panelIsDark(shown.Form().ContentsPanelMade()));
    EXPECT_TRUE(panelIsDark(shown.Form().ContentsPanelMade()->Tree()));
    EXPECT_EQ(shown.window->RunScript(QStringLiteral("frames[0].getComputedStyle(frames[0].document.body).color")),
        QStringLiteral("rgb(221, 221, 221)"))
        << "an already dark frame stays as it is";

    const QString bodyColour = QStringLiteral("getComputedStyle(document.body).color");
    ASSERT_TRUE(shown.window->FollowLink(QStringLiteral("dark")));
    EXPECT_EQ(shown.window->RunScript(bodyColour), QStringLiteral("rgb(221, 221, 221)"))
        << "an already dark page stays as it is";
    ASSERT_TRUE(shown.window->FollowLink(QStringLiteral("light")));
    EXPECT_TRUE(WaitUntil([&] { return shown.window->RunScript(textColour) == QStringLiteral("rgb(221, 221, 221)"); }))
        << "a new page starts dark";
    // What the page adds later is turned as it comes, inherited colours once only.
    shown.window->RunScript(QStringLiteral("var p=document.createElement('p');p.id='added';p.innerHTML='<b "
                                           "id=\"bold\">new</b>';document.body.appendChild(p);"));
    EXPECT_TRUE(WaitUntil([&] {
        return shown.window->RunScript(QStringLiteral("getComputedStyle(document.getElementById('bold')).color"))
            == QStringLiteral("rgb(255, 255, 255)");
    }));

    shown.Press(Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(shown.Form().DarkMode().IsOn());
    EXPECT_TRUE(WaitUntil([&] { return shown.window->RunScript(textColour) == QStringLiteral("rgb(34, 34, 34)"); }));
    EXPECT_TRUE(WaitUntil([&] { return near(pixel(400, 200), 255, 255, 255); }));
    EXPECT_FALSE(panelIsDark(shown.Form().ContentsPanelMade()->Tree()));
    EXPECT_FALSE(panelIsDark(&shown.Form().FindBar()));
    EXPECT_EQ(shown.Form().VisitedURLs().Count(), 2) << "switching reloads nothing";
}

TEST(ReadingAids, F1ListsEveryKeyAndAFileThatIsNoBookSaysWhy)
{
    {
        TReadingBook shown({ { "/index.htm", "<p>keys</p>" } });
        // A key given to a new action of the window shows in the dialog with nothing else to do.
        auto* added = new QAction(QStringLiteral("&Bookmark This Page\u2026"), &shown.Form());
        added->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K));
        shown.Form().addAction(added);
        shown.Press(Qt::Key_F1);
        QWidget* dialog = nullptr;
        ASSERT_TRUE(WaitUntil([&] {
            dialog = shown.Form().findChild<QWidget*>(QStringLiteral("KeysDialog"));
            return dialog != nullptr && dialog->isVisible();
        }));
        const auto* table = dialog->findChild<QTableWidget*>(QStringLiteral("KeysTable"));
        const auto actionOf = [&](const QString& keys) {
            for (int row = 0; row < table->rowCount(); ++row) {
                if (table->item(row, 0)->text() == keys)
                    return table->item(row, 1)->text();
            }
            return QString();
        };
        EXPECT_EQ(actionOf(QStringLiteral("Ctrl+Shift+K")), QStringLiteral("Bookmark This Page"));
        EXPECT_EQ(actionOf(QStringLiteral("Ctrl+Shift+F")), QStringLiteral("Search the Book"));
        EXPECT_EQ(actionOf(QStringLiteral("Mouse back button")), QStringLiteral("Back")) << "the mouse has rows too";
        dialog->close();
    }
    TTestBook notABook;
    const std::string fileName = (notABook.Folder() / "notes.txt").string();
    std::ofstream(fileName) << "just some notes, no book at all\n";
    TViewerWindow window(fileName);
    window.Form().show();
    ASSERT_TRUE(WaitUntil([&] { return window.Caption() == QStringLiteral("Invalid eBook"); }));
    EXPECT_EQ(window.Form().BookProblem(),
        fileName + " is not an eBook: no trailer (its last 4 bytes point outside the file). The viewer opens "
            + std::string(kKnownSourceKinds) + ".");
    const auto* notice = window.Form().findChild<QLabel*>(QStringLiteral("BookProblem"));
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(notice->isVisible());
    EXPECT_EQ(notice->text().toStdString(), window.Form().BookProblem());
}

TEST(ReadingAids, EscOnTheFindBarLeavesThePageWhereTheMatchIs)
{
    // A folder's page, as those where closing the bar sent the page back to its top: links at its
    // top, as a manual's navigation bar has them.
    TTestBook temp;
    const fs::path folder = temp.Folder() / "site";
    fs::create_directories(folder);
    std::ofstream(folder / "index.html")
        << "<!DOCTYPE html><html><head><title>Long</title></head><body>"
        << "<p><a href=\"#start\">Prev</a> <a href=\"#start\">Next</a></p><p id=\"start\">Start</p>"
        << "<div style=\"height:6000px\"></div><p>a walrus here</p>"
        << "<div style=\"height:6000px\"></div></body></html>";
    TViewerWindow window(folder.string());
    window.ShowAndWaitForHome();
    QWindow* shown = window.Form().windowHandle();
    ASSERT_TRUE(WaitUntil([&] { return QGuiApplication::focusWindow() == shown; }));
    TFindBar& bar = window.Form().FindBar();
    QTest::keyClick(shown, Qt::Key_F, Qt::ControlModifier);
    auto* field = bar.findChild<QLineEdit*>(QStringLiteral("FindField"));
    ASSERT_TRUE(WaitUntil([&] { return field->hasFocus(); }));
    QTest::keyClicks(field, QStringLiteral("walrus"));
    ASSERT_TRUE(WaitUntil([&] { return bar.CountText() == QStringLiteral("1 of 1"); }));
    const auto scrollY = [&] { return window.RunScript(QStringLiteral("String(window.scrollY)")).toInt(); };
    ASSERT_TRUE(WaitUntil([&] { return scrollY() > 3000; })) << scrollY();
    const int atMatch = scrollY();
    QTest::keyClick(shown, Qt::Key_Escape);
    EXPECT_FALSE(bar.IsOpen());
    // Long enough for a late move to show.
    QTest::qWait(800);
    EXPECT_EQ(scrollY(), atMatch);
}
