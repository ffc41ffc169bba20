#pragma once

#include "common/CommandLine.h"
#include "tools/library/LibraryBook.h"

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

class TServedPages;
struct stat;

// What changes whenever the file does (device, inode, size, time), in hexadecimal: a book's version.
std::string FileVersion(const struct stat& status);

// What the books of a library may cost together and how folders among them are read.
struct TLibrarySettings {
    std::size_t memoryBytes = 256 << 20; // inflated pages in memory, shared out among the book files
    std::size_t cacheBytes = 64 << 20; // of them kept for later requests, shared out the same way
    std::size_t expectedBooks = 1; // how many book files the budgets are shared among
    bool insideOnly = false; // a folder never serves a file outside it (reachable from other machines)
    bool watchFolders = false; // open pages of a folder reload themselves after a change (--watch)
};

// The books `ebook-pack serve` serves under /NAME/: opened from the paths given or found in a
// library folder, named by LibraryNames, and handed out as immutable shelves. A change (a book
// placed, replaced or removed) makes a new shelf, swapped in under a lock: a request holds the
// shelf or the book it took, which stay whole until it lets them go.
class TLibrary : public TLibraryBooks {
public:
    // `err` hears each book's search's findings, the book's path first; it must outlive the library.
    TLibrary(TLibrarySettings settings, std::ostream& err);
    ~TLibrary() override;
    TLibrary(const TLibrary&) = delete;
    TLibrary& operator=(const TLibrary&) = delete;

    std::shared_ptr<const TLibraryShelf> Shelf() const override;
    // The book served under the name now; null for none.
    std::shared_ptr<const TLibraryBook> Book(std::string_view name) const;

    // Opens the path as a book of any kind (the line's folder options apply to a folder only), its pages
    // and its search, unnamed and not on the shelf yet. Raises what OpenSourceArgument raises.
    std::shared_ptr<TLibraryBook> Open(const std::string& path, const CommandLine& line);
    // Puts the books on the shelf, each in place of the one of the same path, names every book
    // again and publishes the new shelf.
    void Place(const std::vector<std::shared_ptr<TLibraryBook>>& books);
    // Takes the book of the path off the shelf; false when there was none.
    bool Remove(const std::string& path);
    // The book of the path on the shelf now; null for none.
    std::shared_ptr<const TLibraryBook> BookAt(const std::string& path) const;

    // Ends serving: requests waiting for memory give up and searches answer 503. Safe from any thread.
    void Stop();

private:
    void Publish();

    const TLibrarySettings settings_;
    std::ostream& err_;
    mutable std::mutex lock_;
    std::map<std::string, std::shared_ptr<const TLibraryBook>> byPath_; // under lock_, as published
    std::shared_ptr<const TLibraryShelf> shelf_; // under lock_
};
