#pragma once

#include <string>
#include <string_view>
#include <vector>

// The references a page makes and the places in it that references can point to: what a link
// checker needs from a page, read from text already decoded to UTF-8.

struct LinkTarget {
    std::string target; // as written, character references decoded and blanks around it trimmed
    std::string where; // what holds it: "a href", "img srcset", "meta refresh", "url()", "@import"
};

struct PageLinkTargets {
    std::vector<LinkTarget> links; // in the order they appear
    std::vector<std::string> anchors; // every id, and the name of every <a>
    std::string base; // the first <base href>, empty when there is none
    bool cut = false; // the page held more links or anchors than are read
};

// A srcset's candidates past this many are not read: a page offers a few sizes of one image.
inline constexpr std::size_t kMostSourceSetCandidates = 100;
// A page's links, and its anchors, past this many are not read: the largest index page of a large
// manual holds 17,000, and a page of millions (a style attribute of 20 million url()s) would
// otherwise hold a link checker's memory by the gigabyte.
inline constexpr std::size_t kMostLinksPerPage = 100000;

// The link targets of an HTML or XHTML page: href, src, srcset, poster, data, the address of a
// <meta http-equiv=refresh>, and the url() and @import of its <style> elements and style
// attributes. Comments and the insides of <script> elements hold none.
PageLinkTargets LinkTargetsOfMarkup(std::string_view utf8);

// The url() and @import references of a style sheet, the first `most` of them; comments hold none.
std::vector<LinkTarget> LinkTargetsOfStyleSheet(std::string_view css, std::size_t most = kMostLinksPerPage);
