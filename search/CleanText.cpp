#include "CleanText.h"

#include "Utf8.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Length of the well-formed sequence at the start of `bytes`, or 0 when it is not one.
std::size_t SequenceLength(std::string_view bytes)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80; // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF; // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (bytes.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    }
    return length;
}

// Printable ASCII, tab and line ends: kept as they are, so runs of them are copied whole.
bool IsPlainAscii(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 0x20 && byte < 0x80) || c == '\t' || c == '\n' || c == '\r';
}

std::size_t PlainRunEnd(std::string_view text, std::size_t from)
{
    while (from < text.size() && IsPlainAscii(text[from]))
        ++from;
    return from;
}

} // namespace

std::string CleanUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t runEnd = PlainRunEnd(text, i);
        out.append(text.substr(i, runEnd - i));
        i = runEnd;
        if (i == text.size())
            break;
        const std::size_t length = SequenceLength(text.substr(i));
        if (length == 0) {
            AppendUtf8(out, kReplacement);
            ++i;
            continue;
        }
        const auto byte = static_cast<unsigned char>(text[i]);
        if (length == 1 && byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r')
            out += ' ';
        else
            out.append(text.substr(i, length));
        i += length;
    }
    return out;
}

bool IsValidUtf8(std::string_view bytes)
{
    for (std::size_t i = PlainRunEnd(bytes, 0); i < bytes.size(); i = PlainRunEnd(bytes, i)) {
        const std::size_t length = SequenceLength(bytes.substr(i));
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}
