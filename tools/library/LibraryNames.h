#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

// The name a book lives under (/NAME/): its file name without the last extension, in lowercase
// ASCII letters, digits, '-', '_' and '.', every run of other bytes one '-'. Never empty (a name
// of nothing else is "book") and never starting with '.' or '-': names starting with '.' are the
// server's own (/.download, /.search, ...).
std::string BaseLibraryName(std::string_view path);

// Names for every path of a library, unique and the same whenever the same set of paths is named:
// of the paths sharing a base name, the one whose path sorts first keeps it and each other gets
// "-" and six hexadecimal digits of a hash of its path (of the path and a count, in the unlikely
// case that is taken too).
std::map<std::string, std::string> LibraryNames(const std::vector<std::string>& paths);
