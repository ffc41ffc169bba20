#include "common/DisplayText.h"

#include "common/Utf8.h"

namespace {

bool IsControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

void AppendEscape(std::string& out, unsigned value)
{
    static constexpr char kHex[] = "0123456789abcdef";
    out += "\\x";
    out += kHex[(value >> 4) & 0x0F];
    out += kHex[value & 0x0F];
}

} // namespace

std::string CutForDisplay(std::string_view utf8, std::size_t maxCharacters, LineBreaks lineBreaks)
{
    std::string out;
    std::size_t characters = 0;
    std::size_t at = 0;
    while (at < utf8.size()) {
        if (characters == maxCharacters) {
            out += "\xE2\x80\xA6"; // …
            break;
        }
        char32_t c = 0;
        const std::size_t length = Utf8SequenceAt(utf8.substr(at), c);
        const bool kept = lineBreaks == LineBreaks::Keep && (c == '\n' || c == '\r');
        if (length == 0 || (IsControl(c) && !kept)) {
            out += ' ';
            at += length == 0 ? 1 : length;
        } else {
            out.append(utf8.substr(at, length));
            at += length;
        }
        ++characters;
    }
    return out;
}

std::string CutText(std::string_view utf8, std::size_t maxCharacters)
{
    std::size_t at = 0;
    for (std::size_t characters = 0; at < utf8.size(); ++characters) {
        if (characters == maxCharacters)
            return std::string(utf8.substr(0, at)) + "\xE2\x80\xA6"; // …
        char32_t c = 0;
        const std::size_t length = Utf8SequenceAt(utf8.substr(at), c);
        at += length == 0 ? 1 : length;
    }
    return std::string(utf8);
}

std::string EscapeC1InJson(std::string_view json)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(json.size());
    for (std::size_t at = 0; at < json.size(); ++at) {
        const auto next = at + 1 < json.size() ? static_cast<unsigned char>(json[at + 1]) : 0u;
        // In UTF-8, U+0080 to U+009F are C2 80 to C2 9F, and C2 is never a continuation byte.
        if (static_cast<unsigned char>(json[at]) == 0xC2 && next >= 0x80 && next <= 0x9F) {
            out += "\\u00";
            out += kHex[next >> 4];
            out += kHex[next & 0x0F];
            ++at;
        } else {
            out += json[at];
        }
    }
    return out;
}

std::string EscapeForTerminal(std::string_view text, LineBreaks lineBreaks, std::size_t maxCharacters)
{
    constexpr std::size_t kEscapeLength = 4; // "\xNN"
    std::string out;
    std::size_t characters = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        char32_t c = 0;
        const std::size_t length = Utf8SequenceAt(text.substr(at), c);
        const bool escaped = length == 0 || (IsControl(c) && !(c == '\n' && lineBreaks == LineBreaks::Keep));
        const std::size_t shown = escaped ? kEscapeLength : 1;
        if (characters + shown > maxCharacters) {
            out += "\xE2\x80\xA6"; // …
            break;
        }
        characters += shown;
        if (length == 0)
            AppendEscape(out, static_cast<unsigned char>(text[at]));
        else if (escaped)
            AppendEscape(out, static_cast<unsigned>(c));
        else
            out.append(text.substr(at, length));
        at += length == 0 ? 1 : length;
    }
    return out;
}
