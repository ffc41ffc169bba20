#include "viewer/reading/KeysTable.h"

#include <QAction>
#include <QCoreApplication>

namespace {

QString Tr(const char* text)
{
    return QCoreApplication::translate("TKeysDialog", text);
}

// "&Search the Book…" as the dialog names it: "Search the Book".
QString ActionName(const QAction& action)
{
    QString text = action.text();
    text.remove(QLatin1Char('&'));
    if (text.endsWith(QStringLiteral("...")))
        text.chop(3);
    else if (text.endsWith(QChar(0x2026)))
        text.chop(1);
    return text;
}

QString KeysOf(const QAction& action)
{
    QStringList keys;
    for (const QKeySequence& key : action.shortcuts())
        keys << key.toString(QKeySequence::NativeText);
    return keys.join(QStringLiteral(", "));
}

} // namespace

std::vector<TKeyRow> KeyRows(const QList<QAction*>& actions)
{
    std::vector<TKeyRow> rows;
    for (const QAction* action : actions) {
        if (!action->shortcuts().isEmpty())
            rows.push_back({ KeysOf(*action), ActionName(*action) });
    }
    // What the mouse and the find bar's own field answer, and the menus' mnemonics: no action
    // carries them.
    rows.push_back({ Tr("Mouse back button"), Tr("Back") });
    rows.push_back({ Tr("Mouse forward button"), Tr("Forward") });
    rows.push_back({ Tr("Ctrl+mouse wheel"), Tr("Zoom in or out (25 % to 500 %)") });
    rows.push_back({ Tr("Enter in the find bar"), Tr("Next match") });
    rows.push_back({ Tr("Shift+Enter in the find bar"), Tr("Previous match") });
    rows.push_back({ Tr("Space, Page Down, Down or the wheel at a page's end"), Tr("On into the next page") });
    rows.push_back(
        { Tr("Shift+Space, Page Up, Up or the wheel at a page's top"), Tr("Back into the previous page, at its end") });
    rows.push_back({ Tr("Esc in full screen"), Tr("Leave full screen") });
    rows.push_back({ Tr("Alt+B, Alt+H"), Tr("Open the Book or Help menu (when the book shows its menus)") });
    return rows;
}
