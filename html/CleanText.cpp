#include "html/CleanText.h"

#include "common/Utf8.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

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
