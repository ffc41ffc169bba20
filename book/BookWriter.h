#pragma once

#include "book/BookTypes.h"
#include "book/PageCompressor.h"
#include "common/Streams.h"

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

// Writes a book container straight into a stream, one record at a time, so that a book of any size
// costs the memory of its directory only: the header first (its size does not depend on the
// directory position it holds), then each record as it comes, then the directory and the trailer,
// and last the header again with the directory's position. The stream must be seekable.
class TBookStreamWriter {
public:
    // Writes the header at the stream's position; every stored position counts from the stream's
    // start, so whatever precedes the container (an executable) is counted in.
    TBookStreamWriter(TStream& stream, BookHeaderSettings settings);

    // Appends a record; body is CompressPageBody's result, or empty for an empty page. Raises
    // Exception when the record would lie beyond the 31-bit positions.
    void AddRecord(std::string name, std::string_view body);
    // Writes the directory and the trailer and completes the header.
    void Finish();

private:
    struct Entry {
        std::string name;
        int32_t position;
    };
    TStream& stream_;
    BookHeaderSettings settings_;
    int64_t headerPosition_;
    std::vector<Entry> directory_;
};

// Builds a book container in memory: pages are compressed as they are added and kept until
// SaveToStream lays out header, records, directory and trailer. The same settings and pages
// always give the same bytes.
class TBookWriter {
public:
    BookHeaderSettings settings;

    // Compresses the page at the writer's level; pages keep the order they are added in.
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

    // Level 0..12 (PageCompressor.h), applied by AddPage.
    int compressionLevel = kDefaultCompressionLevel;

private:
    struct Page {
        std::string name;
        std::string body; // uncompressedSize and the zlib stream; empty for an empty record
    };

    std::vector<Page> pages_;
};
