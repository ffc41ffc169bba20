#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Decodes the character reference that starts at text[at] (an '&') the way an HTML5 parser does
// in text: a named reference from the whole HTML5 table (the longest name that matches, with or
// without its semicolon where the table allows that), or a numeric one (&#233; &#xE9;), where the
// numbers 0x80-0x9F mean their Windows-1252 characters and invalid ones give U+FFFD. Appends the
// UTF-8 text to `out` and returns how many bytes of `text` it used; 0 when there is no reference
// there (the '&' then stands for itself).
std::size_t DecodeCharacterReference(std::string_view text, std::size_t at, std::string& out);

// The text with every character reference decoded.
std::string DecodeCharacterReferences(std::string_view text);
