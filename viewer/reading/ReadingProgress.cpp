#include "viewer/reading/ReadingProgress.h"

#include <QCoreApplication>

namespace {

QString KeyOf(const QString& page)
{
    return QString::fromStdString(ReadingPageKey(page.toStdString()));
}

} // namespace

TReadingProgress::TReadingProgress(const TReadingPages& order)
    : chapters_(order.chapters)
{
    for (const TReadingPage& page : order.pages) {
        const QString name = QString::fromStdString(page.page);
        indexByKey_.insert(KeyOf(name), int(pages_.size()));
        pages_.push_back(name);
        chapterOf_.push_back(page.chapter);
    }
}

int TReadingProgress::IndexOf(const QString& page) const
{
    return page.isEmpty() ? -1 : indexByKey_.value(KeyOf(page), -1);
}

QString TReadingProgress::PageBeside(const QString& page, int direction) const
{
    const int at = IndexOf(page);
    if (at < 0 || direction == 0)
        return {};
    const int beside = at + (direction > 0 ? 1 : -1);
    return beside >= 0 && beside < int(pages_.size()) ? pages_[std::size_t(beside)] : QString();
}

QString TReadingProgress::Text(const QString& page, int percent) const
{
    const QString scrolled = QCoreApplication::translate("TReadingProgress", "%1%").arg(percent);
    const int at = IndexOf(page);
    const int chapter = at < 0 ? 0 : chapterOf_[std::size_t(at)];
    if (chapter == 0)
        return scrolled;
    return QCoreApplication::translate("TReadingProgress", "Chapter %1 of %2 \u00B7 %3")
        .arg(chapter)
        .arg(chapters_)
        .arg(scrolled);
}
