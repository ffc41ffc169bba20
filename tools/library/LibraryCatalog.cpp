#include "tools/library/LibraryCatalog.h"

#include "common/DisplayText.h"
#include "common/PercentDecoding.h"
#include "server/http/HTTPRequestInfo.h"
#include "tools/library/LibraryPage.h"
#include "tools/library/LibrarySearch.h"
#include "tools/library/OpdsCatalog.h"
#include "tools/packtool/ServeSearch.h"

#include <algorithm>

namespace {

constexpr std::string_view kIconPath = "/.icon/";
constexpr std::string_view kIconCaching = "public, max-age=3600";

// Looked for in turn rather than by halving: the shelf's order is the library's to choose.
std::shared_ptr<const TLibraryBook> BookNamed(const TLibraryShelf& shelf, std::string_view name)
{
    const auto found = std::find_if(shelf.begin(), shelf.end(),
        [name](const std::shared_ptr<const TLibraryBook>& book) { return book->name == name; });
    return found == shelf.end() ? nullptr : *found;
}

TAnswer Fresh(TAnswer answer)
{
    answer.cacheControl = "no-cache";
    return answer;
}

} // namespace

TLibraryCatalog::TLibraryCatalog(const TLibraryBooks& books, std::string urlRoot, std::ostream& err)
    : TLibraryCatalog(books, std::move(urlRoot), err, TSearchPoolSize {})
{
}

TLibraryCatalog::TLibraryCatalog(
    const TLibraryBooks& books, std::string urlRoot, std::ostream& err, TSearchPoolSize searches)
    : books_(books)
    , urlRoot_(std::move(urlRoot))
    , err_(err)
    , searches_(searches)
{
}

TAnswer TLibraryCatalog::OnPool(const std::function<TAnswer()>& search)
{
    TAnswer answer;
    try {
        if (!searches_.Run([&answer, &search] { answer = search(); })) {
            answer = TextAnswer(503, "Too many searches at once: try again in a second.");
            answer.headers.emplace_back("Retry-After", "1");
        }
    } catch (const std::exception& error) {
        err_ << "Search failed: " << EscapeForTerminal(error.what()) << std::endl;
        answer = TextAnswer(500, "The search failed.");
    }
    return Fresh(std::move(answer));
}

std::shared_ptr<const TBookIcon> TLibraryCatalog::IconFor(const TLibraryBook& book, std::size_t booksOnShelf)
{
    {
        std::lock_guard guard(iconsLock_);
        const auto found = icons_.find(book.name);
        if (found != icons_.end() && found->second.first == book.version)
            return found->second.second;
    }
    // Made outside the lock: a cover read from a large archive holds up no other icon.
    auto icon = std::make_shared<const TBookIcon>(IconOf(book));
    std::lock_guard guard(iconsLock_);
    // Books removed leave their icons behind; a library that has changed much starts afresh.
    if (icons_.size() > 2 * booksOnShelf)
        icons_.clear();
    icons_[book.name] = { book.version, icon };
    return icon;
}

TAnswer TLibraryCatalog::AnswerIcon(const TLibraryShelf& shelf, std::string_view name)
{
    const std::shared_ptr<const TLibraryBook> book = BookNamed(shelf, name);
    if (!book)
        return Fresh(TextAnswer(404, "No book is named so."));
    const std::shared_ptr<const TBookIcon> icon = IconFor(*book, shelf.size());
    TAnswer answer;
    answer.contentType = icon->type;
    answer.page = std::shared_ptr<const std::string>(icon, &icon->bytes);
    answer.lastModified = book->modified;
    answer.cacheControl = book->watched ? "no-cache" : std::string(kIconCaching);
    return answer;
}

std::optional<TAnswer> TLibraryCatalog::Answer(const THTTPRequestInfo& request, std::string_view document)
{
    const std::string_view query = request.RawParams;
    if (document == "/") {
        const std::shared_ptr<const TLibraryShelf> shelf = books_.Shelf();
        return Fresh(
            TextAnswer(200, LibraryPage(*shelf, urlRoot_, QueryParameter(query, "lang")), "text/html; charset=utf-8"));
    }
    if (document == "/.opds") {
        const std::shared_ptr<const TLibraryShelf> shelf = books_.Shelf();
        const TOpdsFilter filter { QueryParameter(query, "q"), QueryParameter(query, "lang") };
        return Fresh(TextAnswer(200,
            OpdsFeed(*shelf, urlRoot_, filter,
                [this, &shelf](const TLibraryBook& book) { return IconFor(book, shelf->size())->type; }),
            std::string(kOpdsType)));
    }
    if (document == "/.opensearch.xml")
        return Fresh(TextAnswer(200, OpenSearchDescription(urlRoot_), std::string(kOpenSearchType)));
    if (document == "/.bar")
        return Fresh(TextAnswer(200, LibraryBar(urlRoot_), "text/html; charset=utf-8"));
    if (document == TServedSearch::kSearchPath || document == TServedSearch::kSuggestPath) {
        const std::shared_ptr<const TLibraryShelf> shelf = books_.Shelf();
        const bool search = document == TServedSearch::kSearchPath;
        return OnPool([&] {
            return search ? AnswerLibrarySearch(*shelf, request, urlRoot_)
                          : AnswerLibrarySuggestions(*shelf, request, urlRoot_);
        });
    }
    if (document.starts_with(kIconPath))
        return AnswerIcon(*books_.Shelf(), PercentDecodePath(document.substr(kIconPath.size())));

    // A book's own search: /NAME/.search and /NAME/.suggest.
    const std::size_t slash = document.find('/', 1);
    if (!document.starts_with('/') || slash == std::string_view::npos)
        return std::nullopt;
    const std::string_view rest = document.substr(slash);
    if (rest != TServedSearch::kSearchPath && rest != TServedSearch::kSuggestPath)
        return std::nullopt;
    const std::shared_ptr<const TLibraryBook> book
        = BookNamed(*books_.Shelf(), PercentDecodePath(document.substr(1, slash - 1)));
    if (!book || !book->search)
        return std::nullopt;
    const std::string prefix = urlRoot_ + "/" + book->name;
    return OnPool([&] {
        return rest == TServedSearch::kSearchPath ? book->search->AnswerSearch(request, prefix)
                                                  : book->search->AnswerSuggestions(request, prefix);
    });
}
