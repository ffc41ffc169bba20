#include "common/BookText.h"

#include "common/Utf8.h"
#include "common/WinAnsi.h"

std::string BookTextToUtf8(std::string_view stored)
{
    if (IsMultiByteUtf8(stored))
        return std::string(stored);
    return AnsiToUtf8(stored);
}

std::optional<std::string> Utf8ToBookText(std::string_view utf8)
{
    if (!DecodeUtf8(utf8))
        return std::nullopt;
    // "Ã©" fits the code page as the two bytes of "é" in UTF-8, which a reader would take for "é".
    if (auto ansi = Utf8ToAnsi(utf8); ansi && !IsMultiByteUtf8(*ansi))
        return ansi;
    return std::string(utf8);
}

std::string StoredBookText(std::string_view utf8)
{
    if (auto stored = Utf8ToBookText(utf8))
        return *stored;
    return BookTextToUtf8(utf8);
}

std::string FoldedBookText(std::string_view stored)
{
    std::string folded;
    folded.reserve(stored.size());
    bool ascii = true;
    for (char c : stored) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
        folded += c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    }
    if (ascii)
        return folded;
    folded.clear();
    // A name with a byte past ASCII is UTF-8 when it decodes as such, else Windows-1252.
    auto decoded = DecodeUtf8(stored);
    if (!decoded)
        decoded = DecodeUtf8(AnsiToUtf8(stored));
    for (char32_t c : *decoded)
        AppendUtf8(folded, FoldLetterCase(c));
    return folded;
}
