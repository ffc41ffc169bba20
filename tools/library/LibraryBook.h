#pragma once

#include "sources/BookSource.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TServedSearch;

// One book of a served library as every part of the server sees it. Requests hold it through a
// shared pointer, so a book removed or replaced while a request reads it stays whole until that
// request is over.
struct TLibraryBook {
    std::string name; // the book lives under /NAME/: URL-safe, unique in the library, stable across restarts
    std::string path; // the file or folder it was opened from
    std::string title; // UTF-8: the source's title, else the name
    std::string description; // UTF-8, empty for none
    std::string language; // as the book's metadata gives it ("en", "de-CH"), empty when unknown
    int64_t pageCount = 0;
    int64_t fileSize = 0; // bytes of the file; 0 for a folder
    int64_t modified = 0; // the file's modification time, seconds since the epoch
    std::string version; // changes whenever the file does (device, inode, size, time): a part of every ETag
    bool watched = false; // a folder read as it is now: its answers are not kept by caches
    // Declared in the order they are made; destroyed the other way round, the search first.
    std::shared_ptr<TBookSource> source;
    std::shared_ptr<TPageSource> pages; // what pages are answered from: a book file's shared pages, else source
    std::shared_ptr<TServedSearch> search; // the book's own search
};

// The books being served, sorted by name.
using TLibraryShelf = std::vector<std::shared_ptr<const TLibraryBook>>;

// The library as it is at one moment: a shelf handed out stays as it is while it is held, whatever
// is added or removed meanwhile.
class TLibraryBooks {
public:
    virtual ~TLibraryBooks() = default;
    virtual std::shared_ptr<const TLibraryShelf> Shelf() const = 0;
};
