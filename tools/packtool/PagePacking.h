#pragma once

#include "PageCompressor.h"

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

class TBookStreamWriter;

// One page to pack: its stored name, its size, and how to read its bytes (called on a worker
// thread; raises Exception naming the file when it cannot).
struct PageSource {
    std::string pageName;
    uint64_t size = 0;
    std::function<std::string()> load;
};

struct PackingOptions {
    int level = kDefaultCompressionLevel;
    unsigned threads = 1;
    std::ostream* progress = nullptr; // a terminal to show progress on, or null
};

// Reads and compresses the pages on several threads and hands them to the writer in list order,
// so the book is byte for byte the same whatever the thread count. Memory stays near a few pages
// per thread, whatever the number of pages.
void PackPages(const std::vector<PageSource>& pages, TBookStreamWriter& writer, const PackingOptions& options);
