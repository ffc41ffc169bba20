#pragma once

#include "pageservice/Answer.h"
#include "tools/library/BookIcon.h"
#include "tools/library/LibraryBook.h"
#include "tools/library/LibrarySearchPool.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

class THTTPRequestInfo;

// What a library server answers besides the books' own pages: the library page at "/" (?lang=
// chooses a language), the OPDS feed at "/.opds" (?q=, ?lang=) and its OpenSearch description at
// "/.opensearch.xml", search and suggestions across books at "/.search" and "/.suggest", a
// small bar at "/.bar", each book's icon at "/.icon/NAME", and each book's own search at
// "/NAME/.search" and "/NAME/.suggest". Searches run on a small pool; past its queue they are
// answered 503 with Retry-After at once, so that pages keep being answered quickly. Every link
// written begins with the url root ("" or "/prefix").
class TLibraryCatalog {
public:
    TLibraryCatalog(const TLibraryBooks& books, std::string urlRoot, std::ostream& err);
    TLibraryCatalog(const TLibraryBooks& books, std::string urlRoot, std::ostream& err, TSearchPoolSize searches);

    // The answer for `document`, the request's document with the url root taken off; nothing for
    // a document the catalog does not answer (a book's pages, a name that is no book's).
    std::optional<TAnswer> Answer(const THTTPRequestInfo& request, std::string_view document);

    // The pool searches run on: a test holds it busy to see searches refused.
    TSearchPool& Searches() { return searches_; }

private:
    // Runs the search on the pool: its answer, else 503 with Retry-After when the queue is full.
    TAnswer OnPool(const std::function<TAnswer()>& search);
    TAnswer AnswerIcon(const TLibraryShelf& shelf, std::string_view name);
    std::shared_ptr<const TBookIcon> IconFor(const TLibraryBook& book, std::size_t booksOnShelf);

    const TLibraryBooks& books_;
    const std::string urlRoot_;
    std::ostream& err_;
    std::mutex iconsLock_;
    // Icons made, by book name, with the version of the book they were made from; under iconsLock_.
    std::map<std::string, std::pair<std::string, std::shared_ptr<const TBookIcon>>, std::less<>> icons_;
    TSearchPool searches_; // last: its threads end before the rest goes
};
