#include "viewer/reading/PageScript.h"

#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

void InstallPageScript(QWebEnginePage& page, const QString& name, const QString& source, EScriptFrames frames)
{
    QWebEngineScriptCollection& scripts = page.scripts();
    for (const QWebEngineScript& old : scripts.find(name))
        scripts.remove(old);
    QWebEngineScript script;
    script.setName(name);
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setRunsOnSubFrames(frames == EScriptFrames::WithSubFrames);
    script.setSourceCode(source);
    scripts.insert(script);
}
