#pragma once

// The pieces of an HTTP request that are worked out from text alone.

#include "common/PackedStringList.h"

#include <string>
#include <string_view>

// Splits "method target version" at the last blank (the version) and the first blank before it,
// so that blanks inside the target survive; the method is upper-cased. A line without a blank
// raises Exception "Error in parsing command.".
void SplitRequestLine(std::string_view line, std::string& method, std::string& target, std::string& version);
// Decodes raw parameter text into name=value entries: an encoded CR becomes ESC, an encoded LF
// disappears, and "&" (also encoded) separates the entries.
void DecodeParams(const std::string& raw, TPackedStringList& params);
// Cuts the cookie entries out of every header entry that contains "Cookie=".
void ExtractCookies(const TPackedStringList& headers, TPackedStringList& cookies);
