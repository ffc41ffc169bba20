#pragma once

#include "BookTypes.h"
#include "Streams.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The settings a writer puts into a book header.
struct BookHeaderSettings {
    std::string title;
    std::string description;
    bool hasAboutText = false;
    std::string aboutText;
    bool hasAboutDate = false;
    double aboutDate = 0; // days since 30 December 1899
    DisplaySettings display;
    int32_t homePageIndex = -1; // -1: the first entry
};

// Builds a book container: pages are compressed as they are added and kept in memory until
// SaveToStream lays out header, records, directory and trailer. The same settings and pages
// always give the same bytes.
class TBookWriter {
public:
    BookHeaderSettings settings;

    // Compresses the page with zlib at the writer's level; pages keep the order they are added in.
    // Raises Exception for a page a container cannot hold.
    void AddPage(std::string name, std::string_view content);
    // Adds a record with storedLength 0, which the reader serves as an empty page.
    void AddEmptyPage(std::string name);

    int PageCount() const { return static_cast<int>(pages_.size()); }
    const std::string& PageName(int index) const { return pages_.at(static_cast<std::size_t>(index)).name; }

    // Writes the container at the stream's position. Every stored position is absolute in the
    // stream, so whatever precedes the container (an executable) is counted in. Raises Exception
    // when the file would exceed the 31-bit positions, and the stream's errors when writing fails.
    void SaveToStream(TStream& stream) const;

    // zlib level 0..9, applied by AddPage; the default favours size, as a book is built once and
    // read many times.
    int compressionLevel = 9;

private:
    struct Page {
        std::string name;
        std::string body; // uncompressedSize and the zlib stream; empty for an empty record
    };

    std::string EncodeHeader(int64_t directoryOffset) const;

    std::vector<Page> pages_;
};
