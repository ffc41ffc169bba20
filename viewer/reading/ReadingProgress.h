#pragma once

#include "sources/ReadingPages.h"

#include <QHash>
#include <QString>

#include <vector>

// Where a page stands in the book's reading order (PagesInReadingOrder): the pages before and
// after it, and the progress line the status bar shows.
class TReadingProgress {
public:
    explicit TReadingProgress(const TReadingPages& order);

    // The page after (direction > 0) or before (direction < 0) the page in reading order, UTF-8
    // with "/" first; empty at either end and for a page outside the order.
    QString PageBeside(const QString& page, int direction) const;
    // "Chapter 4 of 12 · 37%": the contents' page the page belongs to and how far down it is
    // scrolled; the percentage alone for a page before the contents' first or outside the order.
    QString Text(const QString& page, int percent) const;
    // Whether the book has contents to count chapters by.
    bool HasChapters() const { return chapters_ > 0; }

private:
    int IndexOf(const QString& page) const;

    std::vector<QString> pages_;
    std::vector<int> chapterOf_;
    QHash<QString, int> indexByKey_; // ReadingPageKey of each page
    int chapters_ = 0;
};
