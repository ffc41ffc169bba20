#include "viewer/contents/EntryTitles.h"

#include "browserhost/WindowCaption.h"

#include "search/ContentsPlaces.h"

#include <string>

namespace {

QString WithoutSeparatorsAtTheEnds(const QString& title)
{
    return QString::fromStdString(std::string(WithoutDanglingSeparators(title.toStdString())));
}

} // namespace

bool PageTitleSaysNothing(const QString& title, const QString& bookTitle)
{
    const QString trimmed = title.simplified();
    const bool asTheBook = !bookTitle.isEmpty()
        && WithoutSeparatorsAtTheEnds(trimmed) == WithoutSeparatorsAtTheEnds(bookTitle.simplified());
    return TitleSaysNothing(trimmed) || asTheBook || IsSlugTitle(trimmed.toStdString());
}
