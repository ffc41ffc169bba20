#pragma once

#include <string>
#include <string_view>

// Text made safe inside HTML text and double-quoted attribute values: & < > " written as
// character references.
std::string EscapeHtml(std::string_view text);
