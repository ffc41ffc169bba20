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

// Where references are read. In an attribute's value a named reference written without its
// semicolon and followed by '=' or a letter or digit stands for itself, so that addresses such as
// "?a=1&copy=2" keep their parameters.
enum class ReferenceContext { Text, Attribute };

// Appends `text` to `out` with every character reference decoded.
void AppendReferencesDecoded(std::string& out, std::string_view text, ReferenceContext context);

// The text with every character reference decoded.
std::string DecodeCharacterReferences(std::string_view text);

// An attribute's value with every character reference decoded.
std::string DecodeAttributeValue(std::string_view value);
