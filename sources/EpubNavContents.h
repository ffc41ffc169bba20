#pragma once

#include "sources/Contents.h"
#include "sources/EpubPackage.h"

// An EPUB's navigation as a book's contents: archive paths become page names ("/" first), a
// fragment the anchor; a heading without a link keeps its title when it holds entries.
TContents ContentsOfEpubNavigation(const std::vector<EpubNavPoint>& points);
