#pragma once

#include "sources/Contents.h"

#include <optional>
#include <string>
#include <string_view>

// The directory entry that holds a book's contents. It starts with "/." so that no page of a
// folder (hidden files are left out unless asked for, and then refused by this name) holds it,
// and no link of a page leads to it.
inline constexpr std::string_view kContentsEntryName = "/.ebook-contents.json";

// What the book stores: the tree and whether the viewer shows it at start.
struct TStoredContents {
    TContents entries;
    bool openAtStart = false;
};

// {"open": bool, "contents": TREE}, TREE being ContentsTreeJson's form.
std::string StoredContentsJson(const TStoredContents& stored);
// Nothing when the text is not that form; entries beyond a bound in number or depth are left out.
std::optional<TStoredContents> ParseStoredContents(std::string_view json);

// A list of entries, each {"title", "page", "anchor" (left out when empty), "children": [...]}.
std::string ContentsTreeJson(const TContents& contents, int indent);
