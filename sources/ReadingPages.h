#pragma once

#include "sources/BookSource.h"
#include "sources/Contents.h"

#include <string>
#include <string_view>
#include <vector>

// The pages in the order the book itself says they are read (an EPUB's spine), as Lookup takes
// them; empty where the source says none.
std::vector<std::string> SpinePagesOf(const TBookSource& source);
// Whether the page only leads to others: the contents page written for an EPUB, and its own
// navigation document. Continuous reading passes it by and search leaves it out. `name` as Lookup
// takes it, letter case ignored.
bool IsNavigationPage(const TBookSource& source, std::string_view name);
// Whether search leaves the page out: a navigation page, or an EPUB's own table of contents (an
// early page that is mostly links to its chapters). Unlike a navigation page it is still read in
// its turn.
bool IsLeftOutOfSearch(const TBookSource& source, std::string_view name);
// The page a reader opens the book on: the home page, except for an EPUB, whose contents page
// written for it gives way to the first page of its reading order (a cover or title page).
std::string OpeningPageOf(const TBookSource& source);

// One page of a book's reading order.
struct TReadingPage {
    std::string page; // UTF-8, "/" first, as the contents name pages
    // The number (from 1) of the contents' page this one belongs to: its own, else the last one
    // before it in the order; 0 for a page before the contents' first.
    int chapter = 0;
};

// The pages a reader goes through one after another, each once: the home page (unless it is a
// navigation page), then the pages the contents name in their order (ContentsInReadingOrder).
// The source's spine (an EPUB's) places the pages the contents leave out, each after the page
// before it in the spine (or first); a source without a spine has its other HTML pages follow in
// its own order, unless it counts its articles without listing them (a ZIM archive: its order is
// by address, and walking it costs what a large archive holds). Navigation pages are left out.
struct TReadingPages {
    std::vector<TReadingPage> pages;
    int chapters = 0; // how many pages the contents name
};

TReadingPages PagesInReadingOrder(const TBookSource& source, const TContents& contents);

// The key under which two spellings of a page name are one page: a leading "/" or "./" and a
// fragment do not count, nor ASCII letter case.
std::string ReadingPageKey(std::string_view page);
