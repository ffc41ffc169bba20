#pragma once

#include <string>
#include <string_view>
#include <vector>

// Page text kept compressed beside the index, for snippets, a block of a few kilobytes at a time:
// a little-endian 32-bit length, then an LZ4 block. The packer's working memory is reused, so
// packing many small blocks costs no set-up each. Not safe for use by two threads at once.
class TTextPacker {
public:
    TTextPacker();

    std::string Pack(std::string_view text);
    // The text again; empty when the bytes are not what Pack made.
    static std::string Unpack(std::string_view packed);

private:
    std::vector<char> state_;
};
