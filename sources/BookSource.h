#pragma once

#include "sources/Contents.h"
#include "sources/PageSource.h"

#include <string>
#include <vector>

// Where a reader, a page server, search, the whole-book export and ebook-pack take a book's pages
// from: a book file, a folder of pages, an EPUB. Pages are answered by name through Lookup; the
// rest describes the book as a whole.
class TBookSource : public TPageSource {
public:
    // Every page name in the source's own order (a book's directory order), as Lookup takes them.
    virtual std::vector<std::string> PageNames() const = 0;
    // The book's title as UTF-8; empty for none.
    virtual std::string Title() const = 0;
    // The name of the page a reader sees first; empty for a source without pages.
    virtual std::string HomePageName() const = 0;
    // The source's own table of contents; empty where it has none.
    virtual TContents Contents() const { return {}; }
};
