#pragma once

#include "tools/library/LibraryBook.h"
#include "tools/tests/PackFixture.h"

#include <memory>
#include <sstream>
#include <string>

class THTTPRequestInfo;

// A library of four kinds built by the tests, each served as a library server serves it:
// "book" (a book file whose title and description are hostile markup), "cover" (an EPUB with a
// cover image), "folder" (a folder with a favicon) and "zim" (a ZIM archive with an
// illustration). Every one holds the sample pages: a chapter with kSampleWord.
class TTestLibrary : public TLibraryBooks {
public:
    static constexpr const char* kHostileTitle = "<b>Tom & \"Jerry\"</b>\x01 </script>";
    static constexpr const char* kHostileDescription = "<script>alert('x')</script> & more";
    static constexpr int64_t kModified = 1765315153; // 2025-12-09T21:19:13Z
    static const std::string kCover; // the EPUB's cover bytes
    static const std::string kFavicon; // the folder's favicon.png bytes
    static const std::string kIllustration; // the ZIM's illustration bytes

    TTestLibrary();
    std::shared_ptr<const TLibraryShelf> Shelf() const override { return shelf_; }
    const TLibraryBook& Book(const std::string& name) const;

    TempFolder temp;
    std::ostringstream err;

private:
    void Add(const std::string& name, const std::string& path);
    std::shared_ptr<TLibraryShelf> shelf_ = std::make_shared<TLibraryShelf>();
};

// A GET request for the document with the query string (not decoded).
THTTPRequestInfo LibraryRequest(const std::string& document, const std::string& query = {});
