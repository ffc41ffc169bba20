#pragma once

#include <string>
#include <string_view>

// Appends the UTF-8 form of a code point; surrogates and values past U+10FFFF become U+FFFD.
void AppendUtf8(std::string& out, char32_t c);

// The text with every byte sequence that is not well-formed UTF-8 replaced by U+FFFD, and every
// C0 control but tab, line feed and carriage return by a blank (the index keeps no control
// characters, so the snippet's marks can never be confused with the text).
std::string CleanUtf8(std::string_view text);

// True when the bytes are well-formed UTF-8 throughout.
bool IsValidUtf8(std::string_view bytes);
