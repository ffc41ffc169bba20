#include "common/AnsiText.h"

#include "common/Exception.h"

#include <cstddef>

unsigned char AnsiLowerChar(unsigned char c)
{
    if (c >= 'A' && c <= 'Z')
        return static_cast<unsigned char>(c + 32);
    // Latin-1 capitals À..Þ, except the multiplication sign.
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return static_cast<unsigned char>(c + 32);
    switch (c) {
    case 0x8A:
        return 0x9A; // Š š
    case 0x8C:
        return 0x9C; // Œ œ
    case 0x8E:
        return 0x9E; // Ž ž
    case 0x9F:
        return 0xFF; // Ÿ ÿ
    default:
        return c;
    }
}

bool AnsiSameText(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AnsiLowerChar(static_cast<unsigned char>(a[i])) != AnsiLowerChar(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::string LowerCaseAscii(std::string_view text)
{
    std::string result(text);
    for (char& c : result) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    }
    return result;
}

std::string UpperCaseAscii(std::string_view text)
{
    std::string result(text);
    for (char& c : result) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
    }
    return result;
}

std::string Trim(std::string_view text)
{
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= ' ')
        ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ')
        --last;
    return std::string(text.substr(first, last - first));
}

std::string_view TrimSpacesAndTabs(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to)
{
    std::string result;
    result.reserve(text.size());
    std::size_t pos = 0;
    while (true) {
        const std::size_t hit = text.find(from, pos);
        if (hit == std::string_view::npos || from.empty()) {
            result.append(text.substr(pos));
            return result;
        }
        result.append(text.substr(pos, hit - pos));
        result.append(to);
        pos = hit + from.size();
    }
}

std::string ReplaceFirst(std::string_view text, std::string_view from, std::string_view to)
{
    const std::size_t hit = from.empty() ? std::string_view::npos : text.find(from);
    if (hit == std::string_view::npos)
        return std::string(text);
    std::string result(text.substr(0, hit));
    result.append(to);
    result.append(text.substr(hit + from.size()));
    return result;
}

bool TryStrToInt(std::string_view text, int32_t& value)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    unsigned base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size())
        return false;
    int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = static_cast<unsigned>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = static_cast<unsigned>(c - 'A' + 10);
        else
            return false;
        magnitude = magnitude * base + digit;
        // Hexadecimal may spell the full 32-bit pattern; decimal must fit the signed range.
        const int64_t limit = base == 16 ? 0xFFFFFFFFLL : (negative ? 2147483648LL : 2147483647LL);
        if (magnitude > limit)
            return false;
    }
    int64_t result = negative ? -magnitude : magnitude;
    if (base == 16 && result > 2147483647LL)
        result -= 4294967296LL;
    if (result < INT32_MIN || result > INT32_MAX)
        return false;
    value = static_cast<int32_t>(result);
    return true;
}

int32_t StrToInt(std::string_view text)
{
    int32_t value = 0;
    if (!TryStrToInt(text, value))
        throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
    return value;
}
