#pragma once

#include <string>
#include <string_view>
#include <vector>

// A page's text kept compressed beside an index held in memory, for snippets: a little-endian
// 32-bit length, then an LZ4 block. The packer's working memory is reused, so packing many pages
// costs no set-up each. Not safe for use by two threads at once.
class TTextPacker {
public:
    TTextPacker();

    std::string Pack(std::string_view text);
    // The text again; empty when the bytes are not what Pack made.
    static std::string Unpack(std::string_view packed);

private:
    std::vector<char> state_;
};
