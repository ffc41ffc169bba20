#pragma once

#include "common/CommandLine.h"
#include "sources/BookSource.h"
#include "sources/BuildSettings.h"
#include "sources/SourceKind.h"
#include "sources/SourcePage.h"

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

// A book container holds at most 2 GiB. A ZIM is packed when its pages hold at most
// kMaxPackedZimBytes before compression: HTML compresses about fourfold, so more than that cannot
// fit, and less may still not (the writer then stops with its own message, writing nothing).
inline constexpr uint64_t kBookContainerBytes = 2ULL * 1024 * 1024 * 1024;
inline constexpr uint64_t kMaxPackedZimBytes = 4 * kBookContainerBytes;

// What `build` packs from a CHM or ZIM: its pages in its own order, the title, description and
// language as About text, the home page; the options override them. Says on `out` what it chose
// and, for a ZIM, its size against the container's before anything is packed. Raises Exception for
// a ZIM too large to fit.
struct ArchiveBook {
    std::unique_ptr<TBookSource> source; // the pages' loads read from it
    BuildSettings settings;
    std::vector<SourcePage> pages;
};
ArchiveBook PlanArchiveBook(const std::string& path, ESourceKind kind, const CommandLine& line, std::ostream& out);
