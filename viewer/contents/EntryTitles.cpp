#include "viewer/contents/EntryTitles.h"

#include "browserhost/WindowCaption.h"

#include <QRegularExpression>

namespace {

// Separators a converter leaves dangling where it joined an empty part ("metadata -").
QString WithoutDanglingSeparators(const QString& title)
{
    static const QRegularExpression around(QStringLiteral(R"(^[\s\-_:|.·–—]+|[\s\-_:|.·–—]+$)"));
    QString core = title;
    core.remove(around);
    return core;
}

// "the-basics", "chapter_02"; a single word only with a separator left dangling beside it.
bool IsSlug(const QString& title)
{
    static const QRegularExpression words(QStringLiteral(R"(^[a-z0-9]+([-_][a-z0-9]+)*$)"));
    const QString core = WithoutDanglingSeparators(title);
    if (core.isEmpty() || !words.match(core).hasMatch())
        return false;
    return core.contains(u'-') || core.contains(u'_') || core != title;
}

} // namespace

bool PageTitleSaysNothing(const QString& title, const QString& bookTitle)
{
    const QString trimmed = title.simplified();
    const bool asTheBook = !bookTitle.isEmpty()
        && WithoutDanglingSeparators(trimmed) == WithoutDanglingSeparators(bookTitle.simplified());
    return TitleSaysNothing(trimmed) || asTheBook || IsSlug(trimmed);
}
