#pragma once

#include <string>
#include <string_view>

// The text with every byte sequence that is not well-formed UTF-8 replaced by U+FFFD, and every
// C0 control but tab, line feed and carriage return by a blank: the index and its snippets keep
// no control characters.
std::string CleanUtf8(std::string_view text);
