#include "viewer/reading/ReadingStyle.h"
#include "viewer/reading/PageScript.h"

#include "viewer/reading/DarkMode.h"

#include <QWebEnginePage>
#include <QWebEngineScript>

namespace {

const char* const kScriptName = "ebook-reading-style";

QString& StartingSheet()
{
    static QString sheet;
    return sheet;
}

// Code, keyboard input and sample output keep a fixed width whatever family the text takes.
const char* const kFixedWidth = "body :is(pre, code, kbd, samp, tt, pre *, code *) "
                                "{ font-family: monospace !important; }\n";

// Marks stay black on yellow: the dark mode leaves them alone, and no theme or book colour
// reaches them.
const char* const kMarks = "mark.ebook-search-mark { background-color: rgb(255, 214, 74) !important; "
                           "color: rgb(0, 0, 0) !important; }\n";

// Paged reading: the body is one window high and its columns run off to the right, a page (or
// two, in a wide window) at a time; the marker tells the page-turning script the page is paged.
const char* const kPaged
    = ":root { --ebook-paged: 1; }\n"
      "html { height: 100vh !important; overflow: hidden !important; }\n"
      "body { box-sizing: border-box !important; height: 100vh !important; margin: 0 !important; "
      "max-width: none !important; padding: 2em 3em !important; column-count: 1 !important; "
      "column-gap: 6em !important; column-fill: auto !important; overflow-wrap: break-word; }\n"
      "body img, body svg, body video { max-height: calc(100vh - 4em) !important; max-width: 100% !important; }\n"
      "@media (min-width: 1000px) { body { column-count: 2 !important; } }\n";

} // namespace

QString ReadingStyleSheet(const TReadingChoices& c, const QString& readersSheet)
{
    QString sheet = QString::fromLatin1(kMarks);
    if (c.font != TReadingChoices::Font::Book) {
        const QString family
            = c.font == TReadingChoices::Font::Serif ? QStringLiteral("serif") : QStringLiteral("sans-serif");
        sheet += QStringLiteral("body, body * { font-family: %1 !important; }\n").arg(family);
        sheet += QString::fromLatin1(kFixedWidth);
    }
    if (c.textSize != 100)
        sheet += QStringLiteral("body { font-size: %1% !important; }\n").arg(c.textSize);
    if (c.lineSpacing > 0)
        sheet += QStringLiteral("body, body * { line-height: %1 !important; }\n")
                     .arg(QString::number(c.lineSpacing / 10.0, 'f', 1));
    if (c.margin > 0)
        sheet += QStringLiteral("body { padding-left: %1em !important; padding-right: %1em !important; }\n")
                     .arg(c.margin);
    if (c.pageWidth > 0)
        sheet += QStringLiteral("body { max-width: %1em !important; margin-left: auto !important; "
                                "margin-right: auto !important; }\n")
                     .arg(c.pageWidth);
    if (c.paged)
        sheet += QString::fromLatin1(kPaged);
    // The rewrite of the page's colours (PageColoursScript.cpp) tints what the book sets inside
    // the page towards the same paper and ink.
    if (c.theme == TReadingChoices::Theme::Sepia)
        sheet += QStringLiteral("html, body { background-color: %1 !important; color: %2 !important; }\n")
                     .arg(CssRgb(kSepiaPaper), CssRgb(kSepiaInk));
    if (!readersSheet.isEmpty())
        sheet += readersSheet + QLatin1Char('\n');
    return sheet;
}

void TReadingStyle::SetStartingSheet(const QString& sheet)
{
    StartingSheet() = sheet;
}

TReadingStyle::TReadingStyle(QWebEnginePage& page, TDarkMode& darkMode)
    : QObject(&page)
    , Page(page)
    , DarkMode(darkMode)
    , readersSheet_(StartingSheet())
{
    connect(&DarkMode, &TDarkMode::switched, this, &TReadingStyle::DarkModeSwitched);
    Apply();
}

void TReadingStyle::SetChoices(const TReadingChoices& choices)
{
    if (choices == choices_)
        return;
    choices_ = choices;
    Apply();
    // The dark theme is the dark mode; its signal comes back here with nothing left to do.
    DarkMode.SetColours(choices_.theme == TReadingChoices::Theme::Dark ? EPageColours::Dark
            : choices_.theme == TReadingChoices::Theme::Sepia          ? EPageColours::Sepia
                                                                       : EPageColours::Own);
    emit changed();
}

void TReadingStyle::DarkModeSwitched(bool on)
{
    const bool dark = choices_.theme == TReadingChoices::Theme::Dark;
    if (on == dark)
        return;
    // Ctrl+Shift+D (the dark mode's own key) leaves sepia for dark, and dark for the book's colours.
    const bool fromSepia = choices_.theme == TReadingChoices::Theme::Sepia;
    choices_.theme = on ? TReadingChoices::Theme::Dark : TReadingChoices::Theme::Light;
    Apply();
    // The dark mode turned the sepia colours, which are gone now: it turns the book's own instead.
    if (on && fromSepia && !Page.url().isEmpty())
        Page.runJavaScript(QStringLiteral("window.ebookPageColours && (window.ebookPageColours(''), "
                                          "window.ebookPageColours('dark'))"),
            QWebEngineScript::ApplicationWorld);
    emit changed();
}

void TReadingStyle::Apply()
{
    const QString sheet = ReadingStyleSheet(choices_, readersSheet_);
    InstallPageScript(Page, QString::fromLatin1(kScriptName), ReadingStyleScript(sheet), EScriptFrames::WithSubFrames);
    // The page shown, and its frames, change now; documents loaded later start so. Before the
    // first page there is nothing to change (and a script would start the engine early).
    if (Page.url().isEmpty())
        return;
    Page.runJavaScript(ReadingStyleScript(sheet) + QStringLiteral(";window.ebookReadingStyleEverywhere()"),
        QWebEngineScript::ApplicationWorld);
}
