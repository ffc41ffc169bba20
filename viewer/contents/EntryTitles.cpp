#include "viewer/contents/EntryTitles.h"

#include "browserhost/WindowCaption.h"

#include <QRegularExpression>

namespace {

// "the-basics", "chapter_02"; a single word only with a separator left dangling beside it, as in
// "metadata -", where a converter joined a slug and an empty title.
bool IsSlug(const QString& title)
{
    static const QRegularExpression words(QStringLiteral(R"(^[a-z0-9]+([-_][a-z0-9]+)*$)"));
    static const QRegularExpression around(QStringLiteral(R"(^[\s\-_:|.·–—]+|[\s\-_:|.·–—]+$)"));
    QString core = title;
    core.remove(around);
    if (core.isEmpty() || !words.match(core).hasMatch())
        return false;
    return core.contains(u'-') || core.contains(u'_') || core != title;
}

} // namespace

bool PageTitleSaysNothing(const QString& title, const QString& bookTitle)
{
    const QString trimmed = title.simplified();
    return TitleSaysNothing(trimmed) || (!bookTitle.isEmpty() && trimmed == bookTitle.simplified()) || IsSlug(trimmed);
}
