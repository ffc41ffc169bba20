#pragma once

#include "SearchIndex.h"

#include <vector>

class TBookReader;

enum class PageIndexing {
    Indexed,
    Skipped, // not a text page, or a later entry with an earlier entry's name (never served)
    Damaged, // the record cannot be read or inflated
};

// For each directory entry, whether the page server serves it: the first entry of each name,
// letter case ignored. One pass over the directory, however large.
std::vector<bool> ServedEntries(const TBookReader& reader);

// Extracts one directory entry the way the page service does and adds its text to the index;
// `served` is the entry's item of ServedEntries. Reads the book with positioned reads of its own,
// so page requests served meanwhile never wait for it; safe beside them on other threads.
PageIndexing IndexBookPage(const TBookReader& reader, int entry, bool served, TSearchIndex& index);
