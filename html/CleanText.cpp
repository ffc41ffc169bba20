#include "html/CleanText.h"

#include "common/Utf8.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Printable ASCII, tab and line ends: kept as they are, so runs of them are copied whole.
bool IsPlainAscii(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 0x20 && byte < 0x80) || c == '\t' || c == '\n' || c == '\r';
}

// Eight bytes at a time where none is below 0x20 or above 0x7F, which is most of a page; byte by
// byte over the eight that hold one (tabs and line ends are plain too).
std::size_t PlainRunEnd(std::string_view text, std::size_t from)
{
    constexpr uint64_t kBlanks = 0x2020202020202020;
    constexpr uint64_t kHighBits = 0x8080808080808080;
    while (from < text.size()) {
        for (uint64_t word = 0; from + 8 <= text.size(); from += 8) {
            std::memcpy(&word, text.data() + from, 8);
            // A byte below 0x20 comes out of the subtraction with its high bit set, whatever the
            // borrow from the byte below; a borrow may also mark a plain byte, which only sends
            // these eight to the byte loop.
            if (((word - kBlanks) | word) & kHighBits)
                break;
        }
        const std::size_t stop = std::min(text.size(), from + 8);
        while (from < stop && IsPlainAscii(text[from]))
            ++from;
        if (from < stop)
            break;
    }
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
        char32_t c = 0;
        const std::size_t length = Utf8SequenceAt(text.substr(i), c);
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
