#pragma once

#include "sources/Contents.h"

#include <optional>
#include <string>
#include <string_view>

// The directory entry that holds a book's contents. It starts with "/." so that no page of a
// folder (hidden files are left out unless asked for, and then refused by this name) holds it,
// and no link of a page leads to it. Books write the compact form (StoredContentsText).
inline constexpr std::string_view kContentsEntryName = "/.ebook-contents";
// Where books built before the compact form keep their contents, as JSON; still read.
inline constexpr std::string_view kJsonContentsEntryName = "/.ebook-contents.json";

// True for either name, as stored (the book's own entry, not an author's page).
bool IsStoredContentsEntry(std::string_view name);

// What the book stores: the tree and whether the viewer shows it at start.
struct TStoredContents {
    TContents entries;
    bool openAtStart = false;
};

// The compact form (docs/FORMAT.md): a table of the page names, then one line per entry in
// reading order with its depth, its page's place in the table, its anchor and its title.
std::string StoredContentsText(const TStoredContents& stored);
// {"open": bool, "contents": TREE}, TREE being ContentsTreeJson's form: the form of older books.
std::string StoredContentsJson(const TStoredContents& stored);

// Either form, told apart by its first bytes, read in time linear in its length. Nothing when the
// text is neither form or is damaged; entries beyond a bound in number or depth are left out.
std::optional<TStoredContents> ParseStoredContents(std::string_view text);
// The JSON form alone.
std::optional<TStoredContents> ParseStoredContentsJson(std::string_view json);

// A list of entries, each {"title", "page", "anchor" (left out when empty), "children": [...]}.
std::string ContentsTreeJson(const TContents& contents, int indent);

// What readers take at most, whatever the form.
inline constexpr std::size_t kMaxStoredContentsEntries = 100000;
inline constexpr std::size_t kMaxStoredContentsDepth = 64;
