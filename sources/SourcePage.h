#pragma once

#include <cstdint>
#include <functional>
#include <string>

// One page a source lists for packing: its stored name, its size, and how to read its bytes
// (called on a worker thread; raises Exception naming the file when it cannot).
struct SourcePage {
    std::string pageName;
    uint64_t size = 0;
    std::function<std::string()> load;
    // A page the build writes itself that is no page at all when it comes out empty (contents
    // still being read when packing starts).
    bool leftOutWhenEmpty = false;
};
