#pragma once

#include "pageservice/PageServer.h"
#include "sources/BookSource.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The book a whole-book export reads: the source the window shows (or the one `ebook
// --export-pdf` opened), whatever its kind, with a page server of the export's own over it, so
// that the window's server is never touched. Pages are told by their position in the source's list
// of page names.
//
// The source is shared: the export's server sessions read it while the window's sessions, its
// search worker and this export's own thread read it too. Every source takes concurrent lookups: a
// book file reads with positioned reads and a buffer per call, the zip and CHM readers hold a lock
// around their archive, libzim's archive and the page caches are safe across threads, and a folder
// keeps its plan behind a lock.
class TExportBook {
public:
    // A ZIM archive with more articles than this is refused: rendering takes about a second a page,
    // and an encyclopedia would keep the export going for days.
    static constexpr uint64_t kMaxZimPages = 3000;

    // The source must outlive this object; bookName names it in messages. Raises Exception for an
    // archive that counts more than kMaxZimPages articles, asked before its entries are listed.
    TExportBook(TBookSource& source, const std::string& bookName);
    ~TExportBook();
    TExportBook(const TExportBook&) = delete;
    TExportBook& operator=(const TExportBook&) = delete;

    TBookSource& Source() { return source_; }
    TPageServer& Server() { return *server_; }
    const TPageServer& Server() const { return *server_; }

    const std::vector<std::string>& Names() const { return names_; }
    // The position of the page the server answers for the name (letter case as the source treats
    // it), or -1.
    int IndexOf(std::string_view name) const;
    // An HTML or XHTML page: by its name, or for a name without an extension (ZIM articles) by its
    // first bytes.
    bool IsMarkup(int index);
    // Whether the page's bytes can be read now.
    bool CanRead(int index);

private:
    TBookSource& source_;
    std::unique_ptr<TPageServer> server_;
    std::vector<std::string> names_;
    // Only for a source that keeps no index of its names: each name's first position.
    std::unordered_map<std::string, int> exact_;
    std::unordered_map<int, bool> sniffed_;
};
