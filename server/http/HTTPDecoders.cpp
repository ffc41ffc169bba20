#include "server/http/HTTPDecoders.h"

#include "common/AnsiText.h"
#include "common/Exception.h"

#include <array>
#include <cstdint>

namespace {

constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Built at compile time, so all threads read it without any start-up order to respect. Every
// character outside the alphabet, "=" included, has the value 0.
constexpr std::array<uint8_t, 128> kReverse = [] {
    std::array<uint8_t, 128> table {};
    for (size_t i = 0; i < kAlphabet.size(); ++i)
        table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<uint8_t>(i);
    return table;
}();

unsigned ValueOf(char c)
{
    const auto code = static_cast<unsigned char>(c);
    return code < kReverse.size() ? kReverse[code] : 0;
}

} // namespace

std::string TNetDecoder::DecodeUnit(std::string_view group)
{
    if (group.size() != 4)
        throw Exception("DecodeUnit length error.");
    const unsigned a = ValueOf(group[0]);
    const unsigned b = ValueOf(group[1]);
    const unsigned c = ValueOf(group[2]);
    const unsigned d = ValueOf(group[3]);
    std::string bytes;
    bytes += static_cast<char>(((a << 2) | (b >> 4)) & 0xFF);
    bytes += static_cast<char>(((b << 4) | (c >> 2)) & 0xFF);
    bytes += static_cast<char>(((c << 6) | d) & 0xFF);
    if (group[2] == '=')
        bytes.resize(1);
    else if (group[3] == '=')
        bytes.resize(2);
    return bytes;
}

std::string TNetDecoder::Decode(std::string_view text)
{
    std::string result;
    for (size_t i = 0; i + 4 <= text.size() && result.size() < kMaxDecoded; i += 4)
        result += DecodeUnit(text.substr(i, 4));
    if (result.size() > kMaxDecoded)
        result.resize(kMaxDecoded);
    return result;
}

std::string URLDecode(std::string_view text)
{
    std::string result(text);
    URLDecodeInPlace(result);
    return result;
}

void URLDecodeInPlace(std::string& text)
{
    for (char& c : text) {
        if (c == '+')
            c = ' ';
    }
    // Decoding never lengthens the text: it is written over itself from the front.
    std::size_t written = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            text[written++] = text[i];
            continue;
        }
        std::string digits(1, '$');
        digits += text.substr(i + 1, 2);
        int32_t code = 0;
        if (TryStrToInt(digits, code) && code >= 1 && code <= 255)
            text[written++] = static_cast<char>(code);
        i += digits.size() - 1;
    }
    text.resize(written);
}
