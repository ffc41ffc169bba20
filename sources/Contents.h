#pragma once

#include <string>
#include <vector>

// One entry of a book's table of contents: a title and the place it opens, with the entries
// below it.
struct TContentsEntry {
    std::string title; // UTF-8
    std::string page; // a page name of the source, "/" first, as the source stores it
    std::string anchor; // the fragment within the page, without "#"; empty for the page's top
    std::vector<TContentsEntry> children;
};

// A table of contents: its top-level entries in reading order; empty for a source without one.
using TContents = std::vector<TContentsEntry>;
