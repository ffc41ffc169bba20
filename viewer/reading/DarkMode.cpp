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
    if (on == on_)
        return;
    on_ = on;
    InstallScript();
    // The page shown, and its frames, switch now; documents loaded later start so.
    Page.runJavaScript(QStringLiteral("window.ebookDarkReadingMode && window.ebookDarkReadingMode(%1)")
                           .arg(on_ ? QStringLiteral("true") : QStringLiteral("false")),
        QWebEngineScript::ApplicationWorld);
    emit switched(on_);
}

void TDarkMode::InstallScript()
{
    InstallPageScript(Page, QString::fromLatin1(kScriptName), DarkModeScript(on_), EScriptFrames::WithSubFrames);
}
