#include "viewer/reading/DarkMode.h"
#include "viewer/reading/PageScript.h"

#include <QWebEnginePage>
#include <QWebEngineScript>

namespace {
const char* const kScriptName = "ebook-dark-reading-mode";
} // namespace

TDarkMode::TDarkMode(QWebEnginePage& page)
    : QObject(&page)
    , Page(page)
{
    InstallScript();
}

void TDarkMode::SetOn(bool on)
{
    if (on)
        SetColours(EPageColours::Dark);
    else if (IsOn())
        SetColours(EPageColours::Own);
}

void TDarkMode::SetColours(EPageColours colours)
{
    if (colours == colours_)
        return;
    const bool wasDark = IsOn();
    colours_ = colours;
    InstallScript();
    // The page shown, and its frames, switch now; documents loaded later start so.
    Page.runJavaScript(
        QStringLiteral("window.ebookPageColours && window.ebookPageColours('%1')").arg(PageColoursName(colours_)),
        QWebEngineScript::ApplicationWorld);
    emit coloursChanged(colours_);
    if (wasDark != IsOn())
        emit switched(IsOn());
}

void TDarkMode::InstallScript()
{
    InstallPageScript(
        Page, QString::fromLatin1(kScriptName), PageColoursScript(colours_), EScriptFrames::WithSubFrames);
}
