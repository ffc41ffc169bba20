#pragma once

#include "sources/SourceTree.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The pages a web server opens first at a folder's top, in the order every source that chooses its
// home page by name takes them (a folder, an EPUB's build, a CHM without a default topic).
inline constexpr std::array<std::string_view, 4> kConventionalHomePages
    = { "/index.htm", "/index.html", "/default.htm", "/default.html" };

// The home page the build chose, and how, for the tool to say.
struct HomeChoice {
    int32_t index = -1; // directory index; -1: the first entry (a book without pages)
    std::string reason; // empty when the author named the page
};

// The named page (UTF-8 or stored text, with or without its leading "/", letter case ignored);
// else the top-level index.htm, index.html, default.htm or default.html; else the one top-level
// HTML page when there is exactly one. Raises Exception listing the candidates otherwise.
HomeChoice ChooseHomePage(const std::vector<SourceFile>& files, const std::optional<std::string>& named);

// Whether the folder has one of the pages a web server would open first (index.htm, index.html,
// default.htm, default.html at its top).
bool HasConventionalHomePage(const std::vector<SourceFile>& files);

// The text of the page's <title> element with character references decoded and blanks collapsed,
// as UTF-8 (a page that is not UTF-8 is read as Windows-1252); nothing when it has none or it is
// empty.
std::optional<std::string> HtmlTitle(std::string_view html);
