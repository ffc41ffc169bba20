#include "common/PercentDecoding.h"

namespace {

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

namespace {

std::string PercentDecoded(std::string_view text, bool plusIsBlank)
{
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (plusIsBlank && text[i] == '+') {
            bytes += ' ';
            continue;
        }
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = HexDigitValue(text[i + 1]);
            const int low = HexDigitValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                bytes += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        bytes += text[i];
    }
    return bytes;
}

} // namespace

std::string PercentDecodePath(std::string_view path)
{
    return PercentDecoded(path, false);
}

std::string PercentDecodeQuery(std::string_view query)
{
    return PercentDecoded(query, true);
}
