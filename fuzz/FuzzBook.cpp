// Loads a container from raw bytes and extracts every page, by position and by name, as the
// viewer and `ebook-pack verify` would. Besides the sanitizers it checks that an extraction does
// not depend on what was extracted before (the reader reuses one scratch buffer) and that a
// lookup by name answers like the entry it finds.

#include "book/BookReader.h"
#include "common/Exception.h"
#include "common/Streams.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

// A directory entry takes 8 bytes, so a small input can still list hundreds of pages, each of
// which may inflate to about a thousand times its stored size; the first entries are enough to
// reach every code path.
constexpr int kMaxPagesExtracted = 64;

std::optional<std::string> Extract(TBookReader& reader, int index)
{
    TMemoryStream page;
    if (!reader.ExtractPageAt(index, page))
        return std::nullopt;
    return page.ToString();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TMemoryStream file;
    file.WriteBuffer(data, static_cast<int64_t>(size));
    file.SetPosition(0);

    TBookReader reader;
    reader.LoadFromStream(file);
    try {
        reader.GetHomePageName();
    } catch (const Exception&) {
        // An index outside the directory is the one error the reader lets through.
    }

    const int count = std::min(reader.Pages().Count(), kMaxPagesExtracted);
    std::vector<std::optional<std::string>> pages;
    for (int i = 0; i < count; ++i) {
        pages.push_back(Extract(reader, i));
        reader.StoredLengthAt(i);
    }
    // Backwards, so that every page follows a different one than the first time.
    for (int i = count - 1; i >= 0; --i) {
        if (Extract(reader, i) != pages[static_cast<std::size_t>(i)])
            std::abort();
    }
    for (int i = 0; i < count; ++i) {
        const std::string& name = reader.Pages()[i];
        TMemoryStream page;
        const bool found = reader.ExtractPage(name, page);
        const int first = reader.IndexOfPage(name);
        if (first < 0 || first > i)
            std::abort();
        // Duplicates beyond the extracted ones are not known; the first match is.
        if (first < count) {
            const auto& expected = pages[static_cast<std::size_t>(first)];
            if (found != expected.has_value() || (found && page.ToString() != *expected))
                std::abort();
        }
    }
    return 0;
}
