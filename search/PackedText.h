#pragma once

#include <memory>
#include <string>
#include <string_view>

// Page text kept compressed beside the index, for snippets, a block of a few kilobytes at a time:
// a little-endian 32-bit length, then a raw deflate stream. The streams are reused, so packing many
// small blocks costs no set-up each. Not safe for use by two threads at once.
class TTextPacker {
public:
    TTextPacker();
    ~TTextPacker();
    TTextPacker(const TTextPacker&) = delete;
    TTextPacker& operator=(const TTextPacker&) = delete;

    // Raises Exception when out of memory.
    std::string Pack(std::string_view text);
    // The text again; empty when the bytes are not what Pack made.
    std::string Unpack(std::string_view packed);

private:
    struct Streams;
    std::unique_ptr<Streams> streams_;
};
