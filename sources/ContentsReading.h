#pragma once

#include "sources/Contents.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

// How contents reading reaches a book: a page's bytes by its name, and the name a page is stored
// under for a name a link resolves to (letter case as the book looks pages up), nothing for none.
struct TContentsBook {
    std::function<std::optional<std::string>(const std::string& pageName)> read;
    std::function<std::optional<std::string>(const std::string& pageName)> find;
    std::string home; // the home page's name
    std::size_t pageCount = 0;
};

// The contents a book without stored contents shows, from its home page: the nested lists of links
// to the book's own pages that cover the most pages (on the home page, or on a contents page it
// links to); else the chain of rel="next" links from the home page, when it reaches more pages
// than the lists do by half; else the home page's links in order, one level. Only links to HTML
// pages of the book make entries; an item without one keeps its title when it holds entries.
TContents ReadContentsFromPages(const TContentsBook& book);

// The entries in depth-first order, each once; an entry of the same page and anchor as an earlier
// one is passed over.
std::vector<const TContentsEntry*> ContentsInReadingOrder(const TContents& contents);

// How many entries and how many levels the tree has.
std::size_t CountEntries(const TContents& contents);
std::size_t ContentsDepth(const TContents& contents);
