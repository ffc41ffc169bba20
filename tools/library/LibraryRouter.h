#pragma once

#include "pageservice/Answer.h"
#include "tools/library/LibraryBook.h"
#include "tools/library/UrlRoot.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

class THTTPRequestInfo;

// Answers every request of a library server (installed with TPageServer::AnswerFirst on a server
// over no pages of its own). Below the url root, in turn:
// - whatever the catalog answers (the library page, OPDS, search across books, a book's search);
// - /.download/NAME: the book's file itself, as an attachment;
// - /NAME: a move to /NAME/, and /NAME/: a move to the book's home page;
// - /NAME/PAGE: the book's page, answered as a book of its own answers /PAGE, with validators and
//   caching for its kind.
// Outside the root: 404; the root without its slash: a move to it with the slash. Every move
// carries the root.
class TLibraryRouter {
public:
    // The catalog's answer to the request for the document below the root, or nothing.
    using CatalogAnswer = std::function<std::optional<TAnswer>(const THTTPRequestInfo&, std::string_view document)>;

    // The books must outlive the router.
    TLibraryRouter(const TLibraryBooks& books, TUrlRoot root);

    // Set before serving; unset, no request is the catalog's.
    void SetCatalog(CatalogAnswer catalog) { catalog_ = std::move(catalog); }
    const TUrlRoot& Root() const { return root_; }

    // The answer; `bookName`, when given, is set to the name of the book answered from (empty for none).
    TAnswer Answer(const THTTPRequestInfo& request, std::string* bookName = nullptr) const;

private:
    std::shared_ptr<const TLibraryBook> Find(std::string_view name) const;
    TAnswer AnswerPage(const TLibraryBook& book, const THTTPRequestInfo& request, std::string_view rest) const;

    const TLibraryBooks& books_;
    const TUrlRoot root_;
    CatalogAnswer catalog_;
};

// A 301 to the location, with the small body a browser shows if it does not follow.
TAnswer MoveAnswer(const std::string& location);

// The type a book's file is downloaded as, by its kind; empty for a folder, which has no file.
std::string_view DownloadType(const TLibraryBook& book);

// The answer to a download of the book: its file, an attachment of its kind's type, with the
// file's own validators; 404 for a folder or a file that cannot be opened.
TAnswer DownloadAnswer(const TLibraryBook& book);

// Sets what caches are told about a page of the book: its time, a validator from the book's
// version and the page's document (a watched folder's pages change under the same version: the
// answer's body decides), and how long it may be kept.
void SetPageCaching(TAnswer& answer, const TLibraryBook& book, std::string_view document);
