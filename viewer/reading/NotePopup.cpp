#include "viewer/reading/NotePopup.h"

#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

TNotePopup::TNotePopup(QWebEnginePage& page)
    : QObject(&page)
{
    QWebEngineScript script;
    script.setName(QStringLiteral("ebook-note-popup"));
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setRunsOnSubFrames(true);
    script.setSourceCode(NotePopupScript());
    page.scripts().insert(script);
}
