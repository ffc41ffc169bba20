#pragma once

#include <QString>
#include <QStringList>

// A script that marks every place of a page where one of the search's words or phrases stands
// (letter case and accents ignored; a word also marks the longer words it begins, as the index
// finds "vacuuming" for "vacuum"), scrolls the first of them into view and returns how many there
// are. Marks are <mark class="ebook-search-mark"> elements; at most kMostMarks are made.
QString MarkSearchTermsScript(const QStringList& terms);

inline constexpr int kMostMarks = 5000;
