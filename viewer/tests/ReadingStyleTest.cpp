// The Reading menu's choices put over the book's own look and taken off again, read back as the
// engine computes the page's styles: font family, size, line spacing, margins, page width and the
// themes, with the search's marks readable in each; the reader's own sheet from the start; the
// menu reached by keys with the menu bar hidden.
#include "viewer/tests/ViewerFixture.h"

#include "browserhost/EmbeddedBrowser.h"
#include "viewer/BookMainDesign.h"
#include "viewer/reading/DarkMode.h"
#include "viewer/reading/FindBar.h"
#include "viewer/reading/ReadingStyle.h"
#include "viewer/search/SearchMarks.h"

#include <QApplication>
#include <QColor>
#include <QMenu>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <gtest/gtest.h>

namespace {

// The book sets its own family, size and spacing: the defaults must leave them.
const char* const kStyledPage
    = "<html><head><title>Styled</title><style>body { font-family: fantasy; font-size: 20px; line-height: 1; "
      "color: rgb(20, 20, 20); } h1 { color: rgb(240, 240, 240); background: rgb(20, 20, 60); }</style></head>"
      "<body><h1 id=\"head\">Title</h1><p id=\"text\">Reading the socket table. A socket is open.</p>"
      "<pre id=\"code\">int socket;</pre><div id=\"box\" style=\"background-color: white; color: rgb(62, 67, 73)\">"
      "A box the book paints white, its text grey.</div><a id=\"next\" href=\"next.htm\" style=\"color: rgb(0, 114, "
      "170)\">next</a></body></html>";

struct TStyledBook {
    TTestBook book;
    std::unique_ptr<TViewerWindow> window;

    explicit TStyledBook(bool showMenu = true)
    {
        book.writer.AddPage("/index.htm", kStyledPage);
        book.writer.AddPage("/next.htm",
            "<html><head><title>Next</title><style>body { font-family: fantasy; }</style></head>"
            "<body><p id=\"text\">The next page.</p></body></html>");
        DisplaySettings& display = book.writer.settings.display;
        display.windowWidth = 900;
        display.windowHeight = 600;
        display.resizable = true;
        display.showMenu = showMenu;
        window = std::make_unique<TViewerWindow>(book.Save());
        window->ShowAndWaitForHome();
        EXPECT_TRUE(WaitUntil([&] { return QGuiApplication::focusWindow() == Form().windowHandle(); }));
    }
    TBookMainForm& Form() { return window->Form(); }
    TReadingStyle& Style() { return Form().ReadingStyle(); }
    QString Computed(const QString& id, const QString& property)
    {
        return window->RunScript(
            QStringLiteral("getComputedStyle(document.getElementById('%1')).%2").arg(id, property));
    }
    // Waits until the property of the element reads as wanted; false, with the last reading
    // printed, when it does not in time.
    bool Becomes(const QString& id, const QString& property, const QString& wanted)
    {
        QString last;
        const bool became = WaitUntil([&] { return (last = Computed(id, property)) == wanted; });
        EXPECT_EQ(last, wanted) << id.toStdString() << "." << property.toStdString();
        return became;
    }
    void Press(int key, Qt::KeyboardModifiers modifiers)
    {
        QTest::keyClick(Form().windowHandle(), static_cast<Qt::Key>(key), modifiers);
    }
};

QColor Colour(const QString& css)
{
    const QStringList parts = QString(css).remove(QRegularExpression(QStringLiteral("[^0-9.,]"))).split(u',');
    return parts.size() >= 3 ? QColor(parts[0].toInt(), parts[1].toInt(), parts[2].toInt()) : QColor();
}

// The contrast of two colours as the web's accessibility guidelines measure it (1 to 21).
double Contrast(const QColor& a, const QColor& b)
{
    const auto luminance = [](const QColor& c) {
        const auto channel = [](double v) {
            v /= 255.0;
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
    };
    const double x = luminance(a);
    const double y = luminance(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

} // namespace

TEST(ReadingStyle, ChoicesGoOverTheBooksOwnLookOnEveryPageAndComeOffAgain)
{
    TStyledBook shown;
    const QString text = QStringLiteral("text");
    EXPECT_EQ(shown.Computed(text, QStringLiteral("fontFamily")), QStringLiteral("fantasy"));
    EXPECT_EQ(shown.Computed(text, QStringLiteral("lineHeight")), QStringLiteral("20px"));

    TReadingChoices choices;
    choices.font = TReadingChoices::Font::Serif;
    choices.textSize = 120;
    choices.lineSpacing = 18;
    choices.margin = 3;
    choices.pageWidth = 40;
    shown.Style().SetChoices(choices);
    ASSERT_TRUE(shown.Becomes(text, QStringLiteral("fontFamily"), QStringLiteral("serif")));
    // 120 % of the root's 16 px, spaced 1.8 times.
    EXPECT_TRUE(shown.Becomes(text, QStringLiteral("fontSize"), QStringLiteral("19.2px")));
    EXPECT_TRUE(shown.Becomes(text, QStringLiteral("lineHeight"), QStringLiteral("34.56px")));
    EXPECT_TRUE(shown.Becomes(QStringLiteral("code"), QStringLiteral("fontFamily"), QStringLiteral("monospace")))
        << "code keeps a fixed width";
    const QString body = QStringLiteral("getComputedStyle(document.body).%1");
    EXPECT_EQ(shown.window->RunScript(body.arg(QStringLiteral("maxWidth"))), QStringLiteral("768px"));
    EXPECT_EQ(shown.window->RunScript(body.arg(QStringLiteral("paddingLeft"))), QStringLiteral("57.6px"));

    // A new document starts with the choices, before its own sheet can show through.
    ASSERT_TRUE(shown.window->FollowLink(QStringLiteral("next")));
    EXPECT_EQ(shown.Computed(text, QStringLiteral("fontFamily")), QStringLiteral("serif"));

    // The keys step a choice with the menu closed: the family goes on to sans serif.
    shown.Press(Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(shown.Style().Choices().font, TReadingChoices::Font::Sans);
    EXPECT_TRUE(shown.Becomes(text, QStringLiteral("fontFamily"), QStringLiteral("sans-serif")));
    shown.Press(Qt::Key_BracketRight, Qt::ControlModifier);
    EXPECT_EQ(shown.Style().Choices().textSize, 140);

    // The book's own look: everything off, on this page and the next.
    shown.Press(Qt::Key_B, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(shown.Style().Choices(), TReadingChoices {});
    EXPECT_TRUE(shown.Becomes(text, QStringLiteral("fontFamily"), QStringLiteral("fantasy")));
    shown.Form().NavigateToPage("/index.htm");
    ASSERT_TRUE(shown.window->WaitForLoad());
    EXPECT_EQ(shown.Computed(text, QStringLiteral("fontFamily")), QStringLiteral("fantasy"));
    EXPECT_EQ(shown.Computed(text, QStringLiteral("lineHeight")), QStringLiteral("20px"));
    EXPECT_EQ(shown.window->RunScript(body.arg(QStringLiteral("maxWidth"))), QStringLiteral("none"));
}

TEST(ReadingStyle, EveryThemeKeepsTheSearchMarksReadable)
{
    TStyledBook shown;
    const QString marks = shown.window->RunScript(MarkSearchTermsScript({ QStringLiteral("socket") }));
    ASSERT_EQ(marks, QStringLiteral("3"));
    const QString markColour = QStringLiteral("getComputedStyle(document.querySelector('mark.ebook-search-mark')).%1");
    const QString pageGround
        = QStringLiteral("(function(){ for (const e of [document.body, document.documentElement]) {"
                         " const c = getComputedStyle(e).backgroundColor; if (c !== 'rgba(0, 0, 0, 0)') return c; }"
                         " return 'rgb(255, 255, 255)'; })()");
    using Theme = TReadingChoices::Theme;
    for (const Theme theme : { Theme::Light, Theme::Sepia, Theme::Dark, Theme::Light }) {
        SCOPED_TRACE(static_cast<int>(theme));
        TReadingChoices choices;
        choices.theme = theme;
        shown.Style().SetChoices(choices);
        EXPECT_EQ(shown.Form().DarkMode().IsOn(), theme == Theme::Dark);
        const QString wantedGround = theme == Theme::Sepia ? QStringLiteral("rgb(244, 236, 216)")
            : theme == Theme::Dark                         ? QStringLiteral("rgb(0, 0, 0)")
                                                           : QStringLiteral("rgb(255, 255, 255)");
        ASSERT_TRUE(WaitUntil([&] { return shown.window->RunScript(pageGround) == wantedGround; }))
            << shown.window->RunScript(pageGround).toStdString();
        // The page's dark mode may turn the marks' surroundings as elements come: read once settled.
        QTest::qWait(0);
        const QColor text = Colour(shown.window->RunScript(markColour.arg(QStringLiteral("color"))));
        const QColor ground = Colour(shown.window->RunScript(markColour.arg(QStringLiteral("backgroundColor"))));
        const QColor page = Colour(shown.window->RunScript(pageGround));
        EXPECT_GT(Contrast(text, ground), 7.0) << text.name().toStdString() << " on " << ground.name().toStdString();
        const auto distance = [](const QColor& a, const QColor& b) {
            return std::hypot(a.red() - b.red(), a.green() - b.green(), a.blue() - b.blue());
        };
        EXPECT_GT(distance(ground, page), 100) << "a mark stands out from the page";

        // A box the book paints white takes the theme's ground, its text stays readable on it, and
        // the heading keeps its own light text on its own dark ground.
        const QString box = QStringLiteral("getComputedStyle(document.getElementById('box')).%1");
        const QColor boxGround = Colour(shown.window->RunScript(box.arg(QStringLiteral("backgroundColor"))));
        const QColor boxText = Colour(shown.window->RunScript(box.arg(QStringLiteral("color"))));
        if (theme != Theme::Light) {
            EXPECT_LT(distance(boxGround, page), 40)
                << boxGround.name().toStdString() << " on " << page.name().toStdString();
        } else {
            EXPECT_EQ(boxGround, QColor(255, 255, 255));
        }
        EXPECT_GT(Contrast(boxText, boxGround), 6.0) << boxText.name().toStdString();
        const QString head = QStringLiteral("getComputedStyle(document.getElementById('head')).%1");
        const QColor headText = Colour(shown.window->RunScript(head.arg(QStringLiteral("color"))));
        const QColor headGround = Colour(shown.window->RunScript(head.arg(QStringLiteral("backgroundColor"))));
        EXPECT_GT(Contrast(headText, headGround), 4.5);
        if (theme == Theme::Sepia) {
            EXPECT_GT(headText.lightness(), headGround.lightness()) << "a dark heading stays dark";
            // A link keeps its own colour (blue, not the ink's brown) and stays readable.
            const QColor link = Colour(
                shown.window->RunScript(QStringLiteral("getComputedStyle(document.getElementById('next')).color")));
            EXPECT_GT(link.blue() - link.red(), 80) << link.name().toStdString();
            EXPECT_GT(Contrast(link, page), 4.5) << link.name().toStdString();
        }
        // The viewer's own panels take the theme's paper, or its dark, beside the page.
        const QColor panel = shown.Form().FindBar().palette().color(QPalette::Base);
        EXPECT_EQ(panel == QColor(244, 236, 216), theme == Theme::Sepia) << panel.name().toStdString();
        EXPECT_EQ(panel.lightness() < 64, theme == Theme::Dark) << panel.name().toStdString();
    }
    // The dark mode's own key is the dark theme, and off again the book's colours.
    shown.Press(Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(shown.Style().Choices().theme, Theme::Dark);
    shown.Press(Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(shown.Style().Choices().theme, Theme::Sepia);
    EXPECT_FALSE(shown.Form().DarkMode().IsOn());
    // From sepia the dark mode turns the book's own colours, not the sepia ones.
    shown.Press(Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(WaitUntil([&] { return shown.window->RunScript(pageGround) == QStringLiteral("rgb(0, 0, 0)"); }))
        << shown.window->RunScript(pageGround).toStdString();
    shown.Press(Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(shown.Style().Choices().theme, Theme::Light);
    EXPECT_EQ(shown.Form().VisitedURLs().Count(), 1) << "switching reloads nothing";
}

TEST(ReadingStyle, TheReadersSheetFromTheStartGoesOverTheBookAndTheMenuOpensByItsKeyWithoutAMenuBar)
{
    TReadingStyle::SetStartingSheet(QStringLiteral("p { letter-spacing: 3px !important; }"));
    TStyledBook shown(false);
    TReadingStyle::SetStartingSheet(QString());
    EXPECT_TRUE(shown.Becomes(QStringLiteral("text"), QStringLiteral("letterSpacing"), QStringLiteral("3px")));
    // The reader's sheet stays under every choice and after the book's own look is asked for.
    TReadingChoices sans;
    sans.font = TReadingChoices::Font::Sans;
    shown.Style().SetChoices(sans);
    shown.Style().SetChoices({});
    EXPECT_TRUE(shown.Becomes(QStringLiteral("text"), QStringLiteral("fontFamily"), QStringLiteral("fantasy")));
    EXPECT_EQ(shown.Computed(QStringLiteral("text"), QStringLiteral("letterSpacing")), QStringLiteral("3px"));

    EXPECT_FALSE(shown.Form().Designed().MainMenu->isVisible());
    shown.Press(Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    auto* menu = shown.Form().findChild<QMenu*>(QStringLiteral("ReadingMenu"));
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return menu->isVisible(); }));
    menu->close();
}

TEST(ReadingStyle, PagedReadingCountsTheChaptersPagesAndTheKeysTurnThemToTheLast)
{
    TTestBook book;
    std::string text = "<html><head><title>Long</title></head><body><h1>Long</h1>";
    for (int i = 0; i < 120; ++i)
        text += "<p>Paragraph " + std::to_string(i) + " of a chapter long enough to fill several pages.</p>";
    book.writer.AddPage("/index.htm", text + "</body></html>");
    book.writer.settings.display.windowWidth = 900;
    book.writer.settings.display.windowHeight = 600;
    book.writer.settings.display.resizable = true;
    TViewerWindow window(book.Save());
    window.ShowAndWaitForHome();
    ASSERT_TRUE(WaitUntil([&] { return QGuiApplication::focusWindow() == window.Form().windowHandle(); }));
    const QString counter = QStringLiteral("(function(){ const h = document.getElementById('ebook-page-counter');"
                                           " return h ? h.shadowRoot.textContent : ''; })()");
    EXPECT_TRUE(window.RunScript(counter).isEmpty()) << "a scrolled page has no counter";

    TReadingChoices paged;
    paged.paged = true;
    window.Form().ReadingStyle().SetChoices(paged);
    QString shown;
    ASSERT_TRUE(WaitUntil([&] { return (shown = window.RunScript(counter)).startsWith(QStringLiteral("page 1 of ")); }))
        << shown.toStdString();
    const int pages = shown.section(QLatin1Char(' '), 3).toInt();
    EXPECT_GT(pages, 2);
    EXPECT_EQ(window.RunScript(QStringLiteral("String(document.scrollingElement.scrollHeight <= innerHeight)")),
        QStringLiteral("true"))
        << "nothing scrolls down";

    // Page Down turns one page at a time up to the last, which shows the chapter's end.
    // The page may take the first keys only to focus itself: a key that turns nothing is sent
    // until the page has one.
    QWidget* view = window.Form().Designed().Browser->View()->focusProxy();
    view->setFocus();
    window.RunScript(QStringLiteral("window.keysSeen = 0; addEventListener('keydown', () => ++keysSeen)"));
    for (int attempt = 0; attempt < 10 && window.RunScript(QStringLiteral("String(keysSeen)")) == QStringLiteral("0");
         ++attempt) {
        QTest::keyClick(view, Qt::Key_X);
        WaitUntil([&] { return window.RunScript(QStringLiteral("String(keysSeen)")) != QStringLiteral("0"); },
            std::chrono::seconds(1));
    }
    for (int page = 2; page <= pages; ++page) {
        QTest::keyClick(view, page == 2 ? Qt::Key_PageDown : Qt::Key_Space);
        EXPECT_TRUE(WaitUntil([&] {
            return window.RunScript(counter) == QStringLiteral("page %1 of %2").arg(page).arg(pages);
        })) << window.RunScript(counter).toStdString();
    }
    const QString lastShown
        = QStringLiteral("(function(){ const r = document.querySelector('p:last-of-type').getBoundingClientRect();"
                         " return String(r.left >= 0 && r.right <= innerWidth); })()");
    EXPECT_EQ(window.RunScript(lastShown), QStringLiteral("true"));
    QTest::keyClick(view, Qt::Key_Home);
    EXPECT_TRUE(WaitUntil([&] { return window.RunScript(counter) == QStringLiteral("page 1 of %1").arg(pages); }));

    // A window wide enough for two pages side by side needs fewer screens.
    window.Form().resize(1400, 600);
    EXPECT_TRUE(WaitUntil([&] {
        const int wide = window.RunScript(counter).section(QLatin1Char(' '), 3).toInt();
        return wide > 0 && wide < pages;
    })) << window.RunScript(counter).toStdString();

    // Scrolled again: no counter, the page scrolls down as the book made it.
    window.Form().ReadingStyle().SetChoices({});
    EXPECT_TRUE(WaitUntil([&] { return window.RunScript(counter).isEmpty(); }));
    EXPECT_EQ(window.RunScript(QStringLiteral("String(document.scrollingElement.scrollHeight > innerHeight)")),
        QStringLiteral("true"));
}
