#pragma once

#include <string>
#include <string_view>

class TBookReader;

// A page named on the command line, in UTF-8, with or without its leading "/": "index.htm" and
// "/index.htm" both name the page /index.htm.
std::string PageNameOfArgument(std::string_view argument);

// The directory index the viewer would serve for that name, or -1.
int PageIndexOfArgument(const TBookReader& reader, std::string_view argument);
