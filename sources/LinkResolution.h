#pragma once

#include <optional>
#include <string>
#include <string_view>

// How a link in a page leads to a page of the same book, as a browser resolves it: the contents
// read from pages, an EPUB's navigation and the link check all resolve links here.

// Whether the link begins with a URL scheme ("http:", "mailto:", "javascript:"): a letter, then
// letters, digits, "+", "-" or "." up to a ":".
bool HasUrlScheme(std::string_view link);

// The path a browser asks for when a link's path (no scheme, fragment or query) stands in the
// page `base` ("/" first; a name ending in "/" is a folder): each "\" read as "/", joined to the
// base's folder unless it starts with "/", "." and ".." steps resolved, and a last step that names
// a folder ("", "." or "..") leaving a final "/". Escapes, empty steps and letter case stay as
// written; an empty path is the base itself. Nothing when ".." climbs above the top.
std::optional<std::string> ResolveLinkPath(std::string_view base, std::string_view path);

// Where a link in the page `base` leads within the book: the page name ("/" first, escapes
// decoded, resolved by ResolveLinkPath, runs of "/" made one, ending in "/" for a folder) and the
// anchor (decoded, without "#"). Nothing for a link with a scheme or to another host ("//host"),
// one that climbs above the book, an empty one or "#".
struct TPagePlace {
    std::string page;
    std::string anchor;
};
std::optional<TPagePlace> ResolvePageLink(const std::string& base, const std::string& href);
