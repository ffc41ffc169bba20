#pragma once

#include <QString>

// Whether a page's <title> tells the reader nothing the caption could not say better with the
// page's contents entry: empty, a file name (TitleSaysNothing), the book's own title (every page
// of some EPUBs carries it, also with a separator left dangling: "Live Systems Manual -"), or a
// slug: lowercase words joined by '-' or '_' ("the-basics", "chapter_02", "the-basics -"), or
// one such word beside a dangling separator ("metadata -"), as site generators and converters
// leave them.
bool PageTitleSaysNothing(const QString& title, const QString& bookTitle);
