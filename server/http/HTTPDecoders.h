#pragma once

#include <string>
#include <string_view>

class TNetCoder {
public:
    virtual ~TNetCoder() = default;
};

// Base64 decoding (RFC 2045 groups), used for the credentials of Basic authorization.
class TNetDecoder : public TNetCoder {
public:
    // Decodes the complete groups of four characters (a final incomplete group is ignored); the
    // result is cut off after kMaxDecoded bytes. Characters outside the alphabet count as 'A'.
    static std::string Decode(std::string_view text);
    // One to three bytes from exactly four characters; any other length raises Exception
    // "DecodeUnit length error.".
    static std::string DecodeUnit(std::string_view group);

    static constexpr size_t kMaxDecoded = 255;
};

// "+" becomes a blank and "%hh" the byte hh; an escape that is not hexadecimal or stands for 0
// is dropped, together with the (up to) two characters after the "%".
std::string URLDecode(std::string_view text);
// The same on the text's own storage.
void URLDecodeInPlace(std::string& text);
