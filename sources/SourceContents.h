#pragma once

#include "sources/BookSource.h"
#include "sources/Contents.h"

// The contents a reader sees for any source: its own (a book's stored contents, an EPUB's
// navigation, a CHM's sitemap), else those its home page holds, its pages read through the source
// as the server reads them (ReadContentsFromPages).
TContents ContentsOfSource(TBookSource& source);
