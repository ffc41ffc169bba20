#include "viewer/reading/NotePopup.h"
#include "viewer/reading/PageScript.h"

#include <QWebEnginePage>

TNotePopup::TNotePopup(QWebEnginePage& page)
    : QObject(&page)
{
    InstallPageScript(page, QStringLiteral("ebook-note-popup"), NotePopupScript(), EScriptFrames::WithSubFrames);
}
