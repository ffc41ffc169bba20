#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// UTF-8 as the rest of the system meets it: in file names, JSON, the terminal and the browser's
// requests.

// The length (1 to 4) of the well-formed UTF-8 sequence at the start of `bytes`, with its
// character in `c`; 0 when there is none there (an overlong form, a surrogate, a character past
// U+10FFFF, a sequence cut short, or no bytes at all).
std::size_t Utf8SequenceAt(std::string_view bytes, char32_t& c);

// True when the bytes are well-formed UTF-8 throughout.
bool IsValidUtf8(std::string_view bytes);

// The code points of a text that is valid UTF-8 (no overlong forms, no surrogates, nothing past
// U+10FFFF), or nothing.
std::optional<std::u32string> DecodeUtf8(std::string_view utf8);

void AppendUtf8(std::string& out, char32_t c);

// Valid UTF-8 holding at least one multi-byte sequence: the mark of UTF-8 among 8-bit texts.
bool IsMultiByteUtf8(std::string_view text);

// The character that letter case folds to, for every script: the lower-case form of the upper-case
// form, so that variants such as the final sigma fold together with their capital.
char32_t FoldLetterCase(char32_t c);
