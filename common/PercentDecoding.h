#pragma once

#include <string>
#include <string_view>

// A path or link as browsers write it: every "%hh" becomes the byte hh; a "%" without two
// hexadecimal digits stays as it is, and so does "+", which a path does not use for a blank.
std::string PercentDecodePath(std::string_view path);

// A name or value of a query string as forms write it: "+" is a blank, then as PercentDecodePath.
std::string PercentDecodeQuery(std::string_view query);
