#pragma once

#include <memory>
#include <string>
#include <string_view>

// What a page source holds under one name.
struct TPageLookup {
    // A page is stored under the name; it decides the answer even when it cannot be read.
    bool stored = false;
    // The page's bytes, shared with every answer that sends them; null when no page is stored or
    // the stored one cannot be read.
    std::shared_ptr<const std::string> bytes;
    // A memory file that holds the same bytes, open while they are held; -1 for none.
    int fileHandle = -1;
    // The same page in zlib form as the source stores it (HTTP's deflate coding), held as long as
    // the bytes; null where the source keeps no such bytes or was not asked to.
    std::shared_ptr<const std::string> deflated = nullptr;
};

// Where a page server takes its pages from: a book, or any other store that answers by page name
// (such as a folder of pages an author is editing). The server turns a request into names, asks
// the source for them in turn, and builds the answer itself, so every source is answered with the
// same names, lookup order and content types.
class TPageSource {
public:
    virtual ~TPageSource() = default;

    // The page stored under exactly this name (letter case ignored, nothing decoded). Runs on the
    // session threads, several at once. May raise to end the connection unanswered (a server
    // that is stopping).
    virtual TPageLookup Lookup(std::string_view name) = 0;

    // Markup the not-found answer carries after its text (a preview's reload hook, so that a page
    // that is missing now shows once it appears); none by default.
    virtual std::string NotFoundMarkup() { return {}; }
};
