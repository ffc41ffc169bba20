#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Text as the catalog writes it into XML, queries and dates.

// UTF-8 made safe inside XML text and double-quoted attribute values: & < > " escaped, characters
// XML does not allow (C0 controls but tab and line breaks, U+FFFE, U+FFFF) left out and bytes
// that are not UTF-8 replaced by U+FFFD, so that a hostile title cannot break the document.
std::string EscapeXml(std::string_view text);

// A value for a query string: every byte but unreserved ones escaped as %hh.
std::string EscapeQueryValue(std::string_view value);

// The time as RFC 3339 in UTC ("2026-12-09T21:39:13Z").
std::string Rfc3339(int64_t secondsSinceEpoch);

// Whether every word of `words` (blank-separated) occurs in `text`, letter case ignored; true for
// no words.
bool HoldsEveryWord(std::string_view text, std::string_view words);

// Whether a book in `language` ("en-GB", "eng") is one of `wanted` ("en"): equal, or its primary
// subtag is, letter case ignored. Every book is for an empty `wanted`.
bool IsLanguage(std::string_view language, std::string_view wanted);
