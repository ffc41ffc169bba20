#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Helpers for the 8-bit text of the container and the HTTP layer. Text is Windows-1252; letter case
// folds for ASCII and for the Latin-1 and Windows-1252 letters that have a case pair.

// The lower-case partner of an 8-bit character, or the character itself.
unsigned char AnsiLowerChar(unsigned char c);

// Whole-string comparison without regard to letter case.
bool AnsiSameText(std::string_view a, std::string_view b);

// Upper-cases ASCII letters only, leaving every other byte as it is.
std::string UpperCaseAscii(std::string_view text);
// Lower-cases ASCII letters only, leaving every other byte as it is.
std::string LowerCaseAscii(std::string_view text);

// Removes leading and trailing blanks and control characters (every byte up to 0x20).
std::string Trim(std::string_view text);
// The text without the blanks and tabs around it (HTTP's optional white space around a header's
// value or a list's item).
std::string_view TrimSpacesAndTabs(std::string_view text);

// Replaces every occurrence of `from` (non-empty) by `to`, scanning left to right.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// Replaces the first occurrence of `from` (non-empty) by `to`; the text is unchanged without one.
std::string ReplaceFirst(std::string_view text, std::string_view from, std::string_view to);

// Converts a whole text to a 32-bit integer: optional blanks in front, an optional sign, then
// decimal digits or a hexadecimal number after "$" or "0x". Anything else, an empty text or a
// value outside the 32-bit range raises EConvertError "'<text>' is not a valid integer value".
int32_t StrToInt(std::string_view text);

// As StrToInt, but gives false instead of raising.
bool TryStrToInt(std::string_view text, int32_t& value);
