#pragma once

#include "pageservice/PageServer.h"
#include "sources/BookSource.h"
#include "sources/SourceKind.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The book a whole-book export reads, whatever its kind (a book file, an EPUB, a CHM, a ZIM archive
// or a folder), opened anew from its path with a page server of its own, so that the viewer's
// window and its server are never touched. Pages are told by their position in the source's list
// of page names.
//
// The export's thread reads pages through the source while the server's sessions read the same
// source: every source takes concurrent lookups (the zip and CHM readers hold a lock around their
// archive, libzim's archive and the page caches are safe across threads, a folder keeps its
// listing behind a lock).
class TExportBook {
public:
    // A ZIM archive with more articles than this is refused: rendering takes about a second a page,
    // and an encyclopedia would keep the export going for days.
    static constexpr uint64_t kMaxZimPages = 3000;

    // Opens the path as the viewer does: a file of no known kind is read as a book file (which
    // IsValid then tells). Raises Exception with the reason when a source of a known kind or the
    // file cannot be opened, and for a ZIM archive beyond kMaxZimPages.
    explicit TExportBook(const std::string& path);
    ~TExportBook();
    TExportBook(const TExportBook&) = delete;
    TExportBook& operator=(const TExportBook&) = delete;

    // False for a file that is no book.
    bool IsValid() const { return valid_; }
    ESourceKind Kind() const { return kind_; }
    TBookSource& Source() { return *source_; }
    TPageServer& Server() { return *server_; }
    const TPageServer& Server() const { return *server_; }

    const std::vector<std::string>& Names() const { return names_; }
    // The position of the page stored under the name, as the server finds it (letter case ignored
    // where the source ignores it), or -1.
    int IndexOf(std::string_view name) const;
    // An HTML or XHTML page: by its name, or for a name without an extension (ZIM articles) by its
    // first bytes.
    bool IsMarkup(int index);
    // Whether the page's bytes can be read now.
    bool CanRead(int index);

private:
    ESourceKind kind_ = ESourceKind::Book;
    bool valid_ = false;
    // A source read in place; declared before the server, which reads from it.
    std::unique_ptr<TBookSource> owned_;
    std::unique_ptr<TPageServer> server_;
    // The source the export reads: owned_, or a book file's over the server's reader.
    std::unique_ptr<TBookSource> fileSource_;
    TBookSource* source_ = nullptr;
    std::vector<std::string> names_;
    std::unordered_map<std::string, int> exact_;
    std::unordered_map<std::string, int> folded_;
    std::unordered_map<int, bool> sniffed_;
};
