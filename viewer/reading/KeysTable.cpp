#include "viewer/reading/KeysTable.h"

#include <algorithm>

namespace {

std::vector<TKeyRow>& Rows()
{
    static std::vector<TKeyRow> rows {
        { QStringLiteral("Ctrl+Left, Alt+Left, mouse back button"), QStringLiteral("Back") },
        { QStringLiteral("Ctrl+Right, Alt+Right, mouse forward button"), QStringLiteral("Forward") },
        { QStringLiteral("F5"), QStringLiteral("Reload the page") },
        { QStringLiteral("Ctrl+Plus, Ctrl+="), QStringLiteral("Zoom in") },
        { QStringLiteral("Ctrl+Minus"), QStringLiteral("Zoom out") },
        { QStringLiteral("Ctrl+0"), QStringLiteral("Zoom back to 100 %") },
        { QStringLiteral("Ctrl+mouse wheel"), QStringLiteral("Zoom in or out (25 % to 500 %)") },
        { QStringLiteral("Ctrl+F"), QStringLiteral("Find in the page") },
        { QStringLiteral("F3, Enter in the find bar"), QStringLiteral("Next match (F3 opens the find bar)") },
        { QStringLiteral("Shift+F3, Shift+Enter in the find bar"), QStringLiteral("Previous match") },
        { QStringLiteral("Esc"), QStringLiteral("Close the find bar") },
        { QStringLiteral("Ctrl+Shift+D"), QStringLiteral("Dark reading mode on or off") },
        { QStringLiteral("F1"), QStringLiteral("This list of keys") },
        { QStringLiteral("Alt+B, Alt+H"),
            QStringLiteral("Open the Book or Help menu (when the book shows its menus)") },
    };
    return rows;
}

} // namespace

const std::vector<TKeyRow>& KeyRows()
{
    return Rows();
}

void AddKeyRow(const QString& keys, const QString& action)
{
    std::vector<TKeyRow>& rows = Rows();
    const auto same = std::find_if(rows.begin(), rows.end(), [&](const TKeyRow& row) { return row.keys == keys; });
    if (same != rows.end())
        same->action = action;
    else
        rows.push_back({ keys, action });
}
