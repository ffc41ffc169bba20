#pragma once

#include "html/MarkupTokenizer.h"
#include "html/PageKind.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// An element of a page that holds text blocks, for telling a navigation bar from the page's own
// text: its parent (kNoElement at the top), and whether it may be left out whole.
struct MarkupElement {
    static constexpr uint32_t kNoElement = UINT32_MAX;
    uint32_t parent = kNoElement;
    bool content = false; // html, body, main, article, or one holding a h1 or h2: never left out
    bool heading = false; // h1 to h6: its text names a part of this page, however often it repeats
};

// A stretch of the body between block-level tags ("Prev", a table cell, a paragraph).
struct MarkupBlock {
    std::size_t begin = 0;
    std::size_t end = 0;
    uint32_t element = MarkupElement::kNoElement; // the innermost element holding it
};

// The searchable text of one page.
struct PageText {
    std::string title; // the <title>, else the first <h1>; empty for plain text
    std::string headings; // the text of its h1, h2 and h3 headings and its defined terms (dt)
    std::string body; // the visible text, blanks collapsed; navigation elements left out
    // How the body divides into blocks and the elements that hold them; empty for plain text.
    std::vector<MarkupBlock> blocks;
    std::vector<MarkupElement> elements;
};

// A page's text is cut after this many bytes: a page of millions of words costs the index no more
// than this much text.
inline constexpr std::size_t kMostPageTextBytes = 16 << 20;

// The text of an HTML or XHTML page (decoded in its own encoding, character references decoded,
// scripts, styles, comments and tags left out) or of a plain-text page; nothing for other kinds.
std::optional<PageText> ExtractPageText(std::string_view pageName, std::string_view bytes);

// The text of markup already decoded to UTF-8.
PageText TextOfMarkup(std::string_view utf8, MarkupDialect dialect = MarkupDialect::Html);
