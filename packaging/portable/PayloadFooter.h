#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The one-file viewer is the launcher, then the payload (a zstd-compressed tar of the runtime),
// then this footer, then, optionally, a book. A book's trailer must stay the file's last bytes and
// holds the book header's absolute position, so the footer is found just before that position when
// a book follows, and at the file's end otherwise.
struct TPayloadFooter {
    uint64_t payloadOffset = 0;
    uint64_t payloadSize = 0;
    // What the tar inflates to, for the free-space check before unpacking (0 when not known).
    uint64_t unpackedSize = 0;
    // XXH3-128 of the compressed payload; its hex form names the runtime's folder in the cache.
    uint64_t hashHigh = 0;
    uint64_t hashLow = 0;
};

inline constexpr char kFooterMagic[8] = { 'E', 'B', 'K', 'R', 'T', 'I', 'M', '1' };

// Magic, five numbers, and four bytes of 0xFF last: read as a book trailer they name position -1,
// so a program without a book is never taken for one.
inline constexpr std::size_t kFooterSize = 8 + 5 * 8 + 4;

// The footer's bytes, little-endian.
std::string EncodeFooter(const TPayloadFooter& footer);

// The footer in these bytes, or nothing when they are not one.
std::optional<TPayloadFooter> DecodeFooter(const unsigned char* bytes);

// The hash as 32 lowercase hex digits.
std::string FooterHashName(const TPayloadFooter& footer);
