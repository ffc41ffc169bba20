#pragma once

#include "book/BookReader.h"
#include "common/Streams.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Test-side construction of containers byte by byte, written apart from TBookWriter so that the
// writer and the reader cannot share a mistake. Each test states exactly which optional fields
// are present.

// Little-endian byte appender.
struct Bytes {
    std::string data;

    Bytes& Byte(uint8_t value);
    Bytes& Int32(int32_t value);
    Bytes& Double(double value);
    Bytes& Raw(std::string_view raw);
    // A counted string: int32 count, then the text.
    Bytes& Str(std::string_view text);
    void PatchInt32(std::size_t at, int32_t value);
};

// Every header field as stored; nothing is derived from the mode values.
struct RawHeader {
    std::string magic = "QVX200";
    std::string title = "Title";
    std::string description = "Description";
    uint8_t hasAboutText = 0;
    std::string aboutText; // written only when hasAboutText is nonzero
    uint8_t hasAboutDate = 0;
    double aboutDate = 0; // written only when hasAboutDate is nonzero
    int32_t sizeMode = 1;
    int32_t positionMode = 0;
    std::vector<int32_t> geometry; // written as given
    int32_t entryExtraMode = 0;
    int32_t auxKind = 0;
    std::string auxBytes; // written as given
    uint8_t showMenu = 1, showToolbar = 1, resizable = 1, allowPrint = 1, allowContextMenu = 1;
    int32_t homePageIndex = 0;
    int32_t auxPageIndex = 0;
};

struct RawEntry {
    std::string name;
    std::string record; // storedLength and body, as stored
    std::optional<uint8_t> extraByte; // written after the position when present
};

// zlib stream of the content (default level).
std::string ZlibOf(std::string_view content);
// A record: storedLength, then uncompressedSize and the zlib data.
std::string RecordOf(int32_t uncompressedSize, std::string_view zlibData);
// A record holding the content, compressed, with its true length.
std::string PageRecord(std::string_view content);

// Stub bytes, then header, records in order, directory and trailer.
std::string BuildContainer(const RawHeader& header, const std::vector<RawEntry>& entries, std::size_t stubSize = 0);

// A memory stream holding the bytes, positioned at 0.
void Fill(TMemoryStream& stream, std::string_view bytes);

// A reader loaded from its own memory copy of the bytes.
struct LoadedBook {
    explicit LoadedBook(std::string_view bytes);
    TMemoryStream stream;
    TBookReader reader;
    bool valid = false;

    // The inflated page, or nullopt when extraction failed.
    std::optional<std::string> Page(std::string_view name);
};
