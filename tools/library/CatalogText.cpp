#include "tools/library/CatalogText.h"

#include "common/Utf8.h"
#include "html/HtmlEscape.h"

#include <algorithm>
#include <ctime>

namespace {

std::u32string Folded(std::string_view text)
{
    std::u32string folded;
    char32_t c = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = Utf8SequenceAt(text.substr(at), c);
        folded += length == 0 ? U'\uFFFD' : FoldLetterCase(c);
        at += length == 0 ? 1 : length;
    }
    return folded;
}

std::string Lower(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

} // namespace

std::string EscapeXml(std::string_view text)
{
    std::string clean;
    clean.reserve(text.size());
    char32_t c = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = Utf8SequenceAt(text.substr(at), c);
        if (length == 0) {
            AppendUtf8(clean, U'\uFFFD');
            ++at;
            continue;
        }
        const bool allowed = (c >= 0x20 || c == '\t' || c == '\n' || c == '\r') && c != 0xFFFE && c != 0xFFFF;
        if (allowed)
            clean.append(text.substr(at, length));
        at += length;
    }
    return EscapeHtml(clean);
}

std::string EscapeQueryValue(std::string_view value)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') || c == '-'
            || c == '_' || c == '.' || c == '~')
            out += c;
        else
            out += { '%', kHex[byte >> 4], kHex[byte & 15] };
    }
    return out;
}

std::string Rfc3339(int64_t secondsSinceEpoch)
{
    const auto time = static_cast<std::time_t>(secondsSinceEpoch);
    std::tm parts {};
    gmtime_r(&time, &parts);
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

bool HoldsEveryWord(std::string_view text, std::string_view words)
{
    const std::u32string haystack = Folded(text);
    const std::u32string wanted = Folded(words);
    for (std::size_t at = 0; at < wanted.size();) {
        const std::size_t end = std::min(wanted.find(U' ', at), wanted.size());
        if (end > at && haystack.find(wanted.substr(at, end - at)) == std::u32string::npos)
            return false;
        at = end + 1;
    }
    return true;
}

bool IsLanguage(std::string_view language, std::string_view wanted)
{
    if (wanted.empty())
        return true;
    const std::string have = Lower(language);
    const std::string want = Lower(wanted);
    return have == want || have.substr(0, have.find('-')) == want;
}
