#pragma once

#include "sources/BookSource.h"
#include "sources/Contents.h"

// The contents a reader sees for any source: its own (a book's stored contents, an EPUB's
// navigation, a CHM's sitemap), else those its home page holds, its pages read through the source
// as the server reads them (ReadContentsFromPages). Worked out once per source, on the first call,
// and kept in it: a call from another thread meanwhile waits for that one, and every later call
// answers at once. A read that raises is passed on and tried again by the next call.
const TContents& ContentsOfSource(TBookSource& source);
