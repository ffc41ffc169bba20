#pragma once

#include "SearchIndex.h"

class TBookReader;

enum class PageIndexing {
    Indexed,
    Skipped, // not a text page, or a later entry with an earlier entry's name (never served)
    Damaged, // the record cannot be read or inflated
};

// Extracts one directory entry the way the page service does and adds its text to the index.
// Reads the book with positioned reads of its own, so page requests served meanwhile never wait
// for it; safe beside them on other threads.
PageIndexing IndexBookPage(const TBookReader& reader, int entry, TSearchIndex& index);
