#include "html/CharacterReferences.h"

#include "common/Utf8.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <iterator>

namespace {

struct NamedReference {
    std::string_view name;
    std::string_view text;
};

constexpr NamedReference kNamedReferences[] = {
#include "NamedEntities.inc"
};

// The longest name in the table ("CounterClockwiseContourIntegral;").
constexpr std::size_t kLongestName = 33;

// Windows-1252 characters that numeric references 0x80-0x9F stand for; 0 where the number is kept.
constexpr std::array<char32_t, 32> kC1Replacements = { 0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0, 0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178 };

std::size_t DecodeNumeric(std::string_view text, std::size_t at, std::string& out)
{
    std::size_t i = at + 2; // after "&#"
    const bool hex = i < text.size() && (text[i] == 'x' || text[i] == 'X');
    if (hex)
        ++i;
    const std::size_t digitsStart = i;
    char32_t value = 0;
    bool tooLarge = false;
    for (; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        int digit = -1;
        if (std::isdigit(c))
            digit = c - '0';
        else if (hex && std::isxdigit(c))
            digit = std::tolower(c) - 'a' + 10;
        if (digit < 0)
            break;
        if (value > 0x10FFFF)
            tooLarge = true;
        else
            value = value * (hex ? 16 : 10) + static_cast<char32_t>(digit);
    }
    if (i == digitsStart)
        return 0;
    if (i < text.size() && text[i] == ';')
        ++i;
    if (tooLarge || value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        value = 0xFFFD;
    else if (value >= 0x80 && value <= 0x9F && kC1Replacements[value - 0x80] != 0)
        value = kC1Replacements[value - 0x80];
    else if (value < 0x20 && value != '\t' && value != '\n' && value != '\r')
        value = ' '; // the text keeps no control characters

    AppendUtf8(out, value);
    return i - at;
}

std::size_t DecodeReference(std::string_view text, std::size_t at, std::string& out, bool inAttribute)
{
    if (at + 1 >= text.size() || text[at] != '&')
        return 0;
    if (text[at + 1] == '#')
        return DecodeNumeric(text, at, out);
    // Every table name is alphanumeric up to its optional ';': take the candidate run once, then
    // try its prefixes from the longest down.
    std::size_t end = at + 1;
    while (end < text.size() && end - at - 1 < kLongestName && std::isalnum(static_cast<unsigned char>(text[end])))
        ++end;
    if (end < text.size() && text[end] == ';')
        ++end;
    for (std::size_t length = end - at - 1; length > 0; --length) {
        const std::string_view candidate = text.substr(at + 1, length);
        const auto found = std::lower_bound(std::begin(kNamedReferences), std::end(kNamedReferences), candidate,
            [](const NamedReference& entry, std::string_view name) { return entry.name < name; });
        if (found != std::end(kNamedReferences) && found->name == candidate) {
            const std::size_t next = at + 1 + length;
            if (inAttribute && !candidate.ends_with(';') && next < text.size()
                && (text[next] == '=' || std::isalnum(static_cast<unsigned char>(text[next]))))
                return 0;
            out.append(found->text);
            return length + 1;
        }
    }
    return 0;
}

} // namespace

void AppendReferencesDecoded(std::string& out, std::string_view text, ReferenceContext context)
{
    const bool inAttribute = context == ReferenceContext::Attribute;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t amp = text.find('&', i);
        out.append(text.substr(i, amp == std::string_view::npos ? std::string_view::npos : amp - i));
        if (amp == std::string_view::npos)
            break;
        const std::size_t used = DecodeReference(text, amp, out, inAttribute);
        if (used == 0)
            out += '&';
        i = amp + std::max<std::size_t>(used, 1);
    }
}

std::size_t DecodeCharacterReference(std::string_view text, std::size_t at, std::string& out)
{
    return DecodeReference(text, at, out, false);
}

std::string DecodeCharacterReferences(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    AppendReferencesDecoded(out, text, ReferenceContext::Text);
    return out;
}

std::string DecodeAttributeValue(std::string_view value)
{
    std::string out;
    out.reserve(value.size());
    AppendReferencesDecoded(out, value, ReferenceContext::Attribute);
    return out;
}
