#include "viewer/contents/EntryTitles.h"

#include "browserhost/WindowCaption.h"

#include <QRegularExpression>

bool PageTitleSaysNothing(const QString& title, const QString& bookTitle)
{
    static const QRegularExpression slug(QStringLiteral(R"(^[a-z0-9]+([-_][a-z0-9]+)+$)"));
    const QString trimmed = title.simplified();
    return TitleSaysNothing(trimmed) || (!bookTitle.isEmpty() && trimmed == bookTitle.simplified())
        || slug.match(trimmed).hasMatch();
}
