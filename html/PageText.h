#pragma once

#include "html/PageKind.h"

#include <optional>
#include <string>
#include <string_view>

// The searchable text of one page.
struct PageText {
    std::string title; // the <title>, else the first <h1>; empty for plain text
    std::string body; // the visible text, blanks collapsed
};

// The text of an HTML or XHTML page (decoded in its own encoding, character references decoded,
// scripts, styles, comments and tags left out) or of a plain-text page; nothing for other kinds.
std::optional<PageText> ExtractPageText(std::string_view pageName, std::string_view bytes);

// The text of markup already decoded to UTF-8.
PageText TextOfMarkup(std::string_view utf8);
