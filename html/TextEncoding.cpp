#include "html/TextEncoding.h"

#include "common/AnsiText.h"
#include "common/Utf8.h"
#include "common/WinAnsi.h"
#include "html/CleanText.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <iconv.h>
#include <optional>

namespace {

// Browsers look for a declaration only this far into a page.
constexpr std::size_t kDeclarationScanBytes = 1024;

bool StartsWith(std::string_view bytes, std::string_view prefix)
{
    return bytes.substr(0, prefix.size()) == prefix;
}

std::string DecodeUtf16(std::string_view bytes, bool bigEndian)
{
    std::string out;
    out.reserve(bytes.size());
    const auto unit = [&](std::size_t i) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<char32_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
    };
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF && i + 3 < bytes.size()) {
            const char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        AppendUtf8(out, c);
    }
    return CleanUtf8(out);
}

// The value after `key` (charset= or encoding=) inside `text`, quotes and blanks removed.
std::string ValueAfter(std::string_view text, std::string_view key)
{
    const std::string lowered = LowerCaseAscii(text);
    const auto at = lowered.find(key);
    if (at == std::string::npos)
        return {};
    std::size_t i = at + key.size();
    while (i < lowered.size() && (lowered[i] == ' ' || lowered[i] == '=' || lowered[i] == '"' || lowered[i] == '\''))
        ++i;
    std::size_t end = i;
    while (end < lowered.size()
        && (std::isalnum(static_cast<unsigned char>(lowered[end])) || lowered[end] == '-' || lowered[end] == '_'
            || lowered[end] == ':' || lowered[end] == '.'))
        ++end;
    return lowered.substr(i, end - i);
}

bool NamesUtf8(const std::string& label)
{
    return label == "utf-8" || label == "utf8" || label == "unicode-1-1-utf-8";
}

// Labels browsers read as Windows-1252.
bool NamesWindows1252(const std::string& label)
{
    static constexpr std::array<std::string_view, 15> kLabels
        = { "windows-1252", "cp1252", "x-cp1252", "iso-8859-1", "iso8859-1", "iso_8859-1", "iso-ir-100", "latin1", "l1",
              "us-ascii", "ascii", "ansi_x3.4-1968", "cp819", "ibm819", "iso88591" };
    return std::find(kLabels.begin(), kLabels.end(), label) != kLabels.end();
}

std::optional<std::string> ConvertWithSystem(std::string_view bytes, const std::string& label)
{
    iconv_t converter = iconv_open("UTF-8", label.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string out(bytes.size() * 4 + 16, '\0');
    std::string input(bytes);
    char* in = input.data();
    std::size_t inLeft = input.size();
    char* to = out.data();
    std::size_t toLeft = out.size();
    while (inLeft > 0) {
        if (iconv(converter, &in, &inLeft, &to, &toLeft) != static_cast<std::size_t>(-1))
            break;
        if (toLeft < 4)
            break; // cannot happen with four bytes per input byte; stop rather than loop
        // A byte the encoding cannot map: show U+FFFD and go on after it.
        *to++ = static_cast<char>(0xEF);
        *to++ = static_cast<char>(0xBF);
        *to++ = static_cast<char>(0xBD);
        toLeft -= 3;
        ++in;
        --inLeft;
    }
    iconv_close(converter);
    out.resize(out.size() - toLeft);
    return CleanUtf8(out);
}

} // namespace

std::string DeclaredEncoding(std::string_view bytes, TextEncodingSource& source)
{
    const std::string_view head = bytes.substr(0, kDeclarationScanBytes);
    if (StartsWith(head, "<?xml")) {
        const auto end = head.find("?>");
        const std::string value = ValueAfter(head.substr(0, end), "encoding");
        if (!value.empty()) {
            source = TextEncodingSource::XmlDeclaration;
            return value;
        }
    }
    const std::string lowered = LowerCaseAscii(head);
    for (std::size_t at = lowered.find("<meta"); at != std::string::npos; at = lowered.find("<meta", at + 5)) {
        const auto end = lowered.find('>', at);
        const std::string value = ValueAfter(std::string_view(lowered).substr(at, end - at), "charset");
        if (!value.empty()) {
            source = TextEncodingSource::MetaCharset;
            return value;
        }
    }
    return {};
}

DecodedText DecodePageText(std::string_view bytes, bool isMarkup)
{
    if (StartsWith(bytes, "\xEF\xBB\xBF"))
        return { CleanUtf8(bytes.substr(3)), "utf-8", TextEncodingSource::ByteOrderMark };
    if (StartsWith(bytes, "\xFF\xFE"))
        return { DecodeUtf16(bytes.substr(2), false), "utf-16le", TextEncodingSource::ByteOrderMark };
    if (StartsWith(bytes, "\xFE\xFF"))
        return { DecodeUtf16(bytes.substr(2), true), "utf-16be", TextEncodingSource::ByteOrderMark };
    if (isMarkup) {
        TextEncodingSource source = TextEncodingSource::MetaCharset;
        std::string label = DeclaredEncoding(bytes, source);
        // A declaration readable as ASCII cannot be in UTF-16: browsers take UTF-8 then.
        if (label.starts_with("utf-16"))
            label = "utf-8";
        if (NamesUtf8(label))
            return { CleanUtf8(bytes), "utf-8", source };
        if (NamesWindows1252(label))
            return { CleanUtf8(AnsiToUtf8(bytes)), "windows-1252", source };
        if (!label.empty()) {
            if (auto converted = ConvertWithSystem(bytes, label))
                return { std::move(*converted), label, source };
        }
    }
    if (IsValidUtf8(bytes))
        return { CleanUtf8(bytes), "utf-8", TextEncodingSource::ValidUtf8 };
    return { CleanUtf8(AnsiToUtf8(bytes)), "windows-1252", TextEncodingSource::WindowsFallback };
}
