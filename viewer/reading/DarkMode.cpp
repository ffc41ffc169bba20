#include "viewer/reading/DarkMode.h"

#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

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
    QWebEngineScriptCollection& scripts = Page.scripts();
    for (const QWebEngineScript& old : scripts.find(QString::fromLatin1(kScriptName)))
        scripts.remove(old);
    QWebEngineScript script;
    script.setName(QString::fromLatin1(kScriptName));
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setRunsOnSubFrames(true);
    script.setSourceCode(DarkModeScript(on_));
    scripts.insert(script);
}
