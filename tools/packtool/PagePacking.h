#pragma once

#include "book/PageCompressor.h"
#include "sources/SourcePage.h"

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

class TBookStreamWriter;
class TLinkCheck;

struct PackingOptions {
    int level = kDefaultCompressionLevel;
    unsigned threads = 1;
    std::ostream* progress = nullptr; // a terminal to show progress on, or null
    class TBuildIndex* index = nullptr; // the search index to add each page to, or null
    TLinkCheck* links = nullptr; // the link check to read each page for, or null
};

// Reads and compresses the pages on several threads and hands them to the writer in list order,
// so the book is byte for byte the same whatever the thread count. Memory stays near a few pages
// per thread, whatever the number of pages.
void PackPages(const std::vector<SourcePage>& pages, TBookStreamWriter& writer, const PackingOptions& options);
