#pragma once

class QString;
class QWebEnginePage;

// Which documents of a page a script of the viewer's runs in.
enum class EScriptFrames { TopOnly, WithSubFrames };

// Runs `source` in the viewer's own script world (the book's scripts neither see nor reach it) at
// the creation of every document the page loads from now on, in its frames too with
// WithSubFrames. A script installed earlier under the same name is replaced.
void InstallPageScript(QWebEnginePage& page, const QString& name, const QString& source, EScriptFrames frames);
