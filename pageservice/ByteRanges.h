#pragma once

#include <cstdint>
#include <string_view>

// A request's Range header against a body of `total` bytes. One range is served; a header of
// several ranges is answered with the whole body (no multipart answers), as is one that is not
// in bytes or cannot be read, as HTTP allows.
struct TByteRangeChoice {
    enum class Kind { Whole, Partial, Unsatisfiable };
    Kind kind = Kind::Whole;
    int64_t first = 0; // Partial: the first byte and the count
    int64_t count = 0;
};

// "bytes=a-b", "bytes=a-" or "bytes=-n"; the last byte is capped at the body's end.
TByteRangeChoice ChooseByteRange(std::string_view rangeHeader, int64_t total);
