#pragma once

#include <string>
#include <string_view>

// The blanks of HTML text: space, tab, line feed, form feed and carriage return. A vertical tab is
// not one (browsers do not collapse it), and XML's four blanks are all among these, so text read
// from package documents collapses the same way.
bool IsHtmlBlank(char c);

// Appends `text` to `out` with every run of blanks made one blank and none leading. A run at the
// end is kept in `pendingBlank` and written before the next word, so text may come in pieces.
void AppendCollapsed(std::string& out, std::string_view text, bool& pendingBlank);

// The text with every run of blanks made one blank and none leading or trailing.
std::string CollapseBlanks(std::string_view text);
