#include "tools/library/LibrarySearch.h"

#include "common/BookText.h"
#include "common/PercentDecoding.h"
#include "html/HtmlEscape.h"
#include "search/ContentsPlaces.h"
#include "search/SearchQuery.h"
#include "server/http/HTTPRequestInfo.h"
#include "tools/packtool/ServeSearch.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>

namespace {

constexpr int64_t kDefaultResults = 20;
constexpr int64_t kDefaultSuggestions = 10;
// Results are merged from the top of every book, so paging goes no deeper than this.
constexpr int64_t kDeepestStart = 1000;

using TBookPointer = std::shared_ptr<const TLibraryBook>;

std::string BookLink(std::string_view urlRoot, const TLibraryBook& book)
{
    return std::string(urlRoot) + "/" + book.name + "/";
}

// A book's page: the link the book's own search writes, under the book's path.
std::string PageLinkIn(std::string_view urlRoot, const TLibraryBook& book, std::string_view storedName)
{
    return std::string(urlRoot) + "/" + book.name + ServedPageLink(storedName);
}

// One hit of one book, with its rank there.
template <typename THit> struct TRanked {
    std::size_t rank = 0;
    std::size_t bookAt = 0; // the book's position among those searched
    THit hit;
};

struct TMerged {
    int64_t total = 0;
    int32_t answered = 0; // books whose search answered
    int32_t refused = 0; // books whose search answered 503 (the server stopping)
    std::vector<TRanked<SearchHit>> hits; // best first
};

TMerged MergedResults(const std::vector<TBookPointer>& books, const std::string& typed, int64_t depth)
{
    TMerged merged;
    for (std::size_t at = 0; at < books.size(); ++at) {
        if (!books[at]->search)
            continue;
        TServedSearch::TFound found = books[at]->search->Find(typed, 0, depth);
        if (found.code == 503)
            ++merged.refused;
        if (found.code != 200)
            continue;
        ++merged.answered;
        merged.total += found.results.total;
        for (std::size_t rank = 0; rank < found.results.hits.size(); ++rank)
            merged.hits.push_back({ rank, at, std::move(found.results.hits[rank]) });
    }
    std::stable_sort(merged.hits.begin(), merged.hits.end(), [](const auto& a, const auto& b) {
        if (a.rank != b.rank)
            return a.rank < b.rank;
        return a.hit.score > b.hit.score;
    });
    return merged;
}

std::string ResultsJson(const std::string& typed, const TMerged& merged, int64_t start, int64_t limit,
    const std::vector<TBookPointer>& books, std::string_view urlRoot)
{
    nlohmann::json hits = nlohmann::json::array();
    for (std::size_t at = static_cast<std::size_t>(start);
         at < merged.hits.size() && at < static_cast<std::size_t>(start + limit); ++at) {
        const SearchHit& hit = merged.hits[at].hit;
        const TLibraryBook& book = *books[merged.hits[at].bookAt];
        nlohmann::json snippet = nlohmann::json::array();
        for (const SnippetPiece& piece : hit.snippet)
            snippet.push_back({ { "text", piece.text }, { "match", piece.matched } });
        hits.push_back({ { "book", book.name }, { "bookTitle", book.title }, { "bookLink", BookLink(urlRoot, book) },
            { "name", BookTextToUtf8(hit.name) }, { "title", hit.title },
            { "link", PageLinkIn(urlRoot, book, hit.name) }, { "breadcrumb", hit.breadcrumb }, { "score", hit.score },
            { "snippet", snippet } });
    }
    const nlohmann::json answer
        = { { "query", typed }, { "total", merged.total }, { "start", start }, { "results", hits } };
    return answer.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string ResultsPage(const std::string& typed, const TMerged& merged, int64_t start, int64_t limit,
    const std::vector<TBookPointer>& books, std::string_view query, std::string_view urlRoot)
{
    const std::string root = EscapeHtml(urlRoot);
    std::string page = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><meta name=\"viewport\" "
                       "content=\"width=device-width,initial-scale=1\"><title>Search: "
        + EscapeHtml(typed)
        + "</title><style>body{font-family:sans-serif;max-width:50em;margin:auto;padding:0 1em}"
          "li{margin:.6em 0}small{color:#555}</style></head><body><p><a href=\""
        + root + "/\">Library</a></p><form action=\"" + root + "/.search\"><input name=\"q\" value=\""
        + EscapeHtml(typed) + "\"> <button>Search</button>";
    // The books chosen stay chosen for the next search.
    if (!QueryParameter(query, "book").empty())
        for (const TBookPointer& book : books)
            page += "<input type=\"hidden\" name=\"book\" value=\"" + EscapeHtml(book->name) + "\">";
    page += "</form><p>" + std::to_string(merged.total) + (merged.total == 1 ? " page matches" : " pages match")
        + "</p><ol start=\"" + std::to_string(start + 1) + "\">";
    for (std::size_t at = static_cast<std::size_t>(start);
         at < merged.hits.size() && at < static_cast<std::size_t>(start + limit); ++at) {
        const SearchHit& hit = merged.hits[at].hit;
        const TLibraryBook& book = *books[merged.hits[at].bookAt];
        const std::string name = BookTextToUtf8(hit.name);
        page += "<li><a href=\"" + EscapeHtml(PageLinkIn(urlRoot, book, hit.name)) + "\">"
            + EscapeHtml(hit.title.empty() ? name : hit.title) + "</a><br><small><a href=\""
            + EscapeHtml(BookLink(urlRoot, book)) + "\">" + EscapeHtml(book.title) + "</a>";
        if (!hit.breadcrumb.empty())
            page += " &rsaquo; " + EscapeHtml(BreadcrumbLine(hit.breadcrumb));
        page += "</small><br>";
        for (const SnippetPiece& piece : hit.snippet)
            page += piece.matched ? "<b>" + EscapeHtml(piece.text) + "</b>" : EscapeHtml(piece.text);
        page += "</li>";
    }
    return page + "</ol></body></html>";
}

} // namespace

std::vector<TBookPointer> ChosenBooks(const TLibraryShelf& shelf, std::string_view query)
{
    std::vector<std::string> names;
    for (std::string_view rest = query; !rest.empty();) {
        const std::size_t amp = rest.find('&');
        const std::string_view pair = rest.substr(0, amp);
        const std::size_t equals = pair.find('=');
        if (equals != std::string_view::npos && PercentDecodeQuery(pair.substr(0, equals)) == "book")
            names.push_back(PercentDecodeQuery(pair.substr(equals + 1)));
        rest = amp == std::string_view::npos ? std::string_view() : rest.substr(amp + 1);
    }
    if (names.empty())
        return { shelf.begin(), shelf.end() };
    std::vector<TBookPointer> chosen;
    for (const TBookPointer& book : shelf)
        if (std::find(names.begin(), names.end(), book->name) != names.end())
            chosen.push_back(book);
    return chosen;
}

TAnswer AnswerLibrarySearch(const TLibraryShelf& shelf, const THTTPRequestInfo& request, std::string_view urlRoot)
{
    const std::string typed = QueryParameter(request.RawParams, "q");
    if (typed.size() > kMostQueryBytes)
        return TextAnswer(413, "The query is longer than " + std::to_string(kMostQueryBytes) + " bytes.");
    const int64_t start = NumberParameter(request.RawParams, "start", 0, kDeepestStart);
    const int64_t limit
        = NumberParameter(request.RawParams, "limit", kDefaultResults, TServedSearch::kMostServedResults);
    const std::vector<TBookPointer> books = ChosenBooks(shelf, request.RawParams);
    const TMerged merged = MergedResults(books, typed, start + limit);
    if (merged.refused > 0 && merged.answered == 0)
        return TextAnswer(503, "The server is stopping.");
    if (QueryParameter(request.RawParams, "format") == "json")
        return TextAnswer(200, ResultsJson(typed, merged, start, limit, books, urlRoot), "application/json");
    return TextAnswer(
        200, ResultsPage(typed, merged, start, limit, books, request.RawParams, urlRoot), "text/html; charset=utf-8");
}

TAnswer AnswerLibrarySuggestions(const TLibraryShelf& shelf, const THTTPRequestInfo& request, std::string_view urlRoot)
{
    const std::string typed = QueryParameter(request.RawParams, "q");
    if (typed.size() > kMostQueryBytes)
        return TextAnswer(413, "The query is longer than " + std::to_string(kMostQueryBytes) + " bytes.");
    const auto limit = static_cast<std::size_t>(
        NumberParameter(request.RawParams, "limit", kDefaultSuggestions, TServedSearch::kMostServedResults));
    const std::vector<TBookPointer> books = ChosenBooks(shelf, request.RawParams);
    std::vector<TRanked<TitleSuggestion>> found;
    for (std::size_t at = 0; at < books.size(); ++at) {
        if (!books[at]->search)
            continue;
        std::optional<std::vector<TitleSuggestion>> titles = books[at]->search->Suggest(typed, limit);
        if (!titles)
            continue;
        for (std::size_t rank = 0; rank < titles->size(); ++rank)
            found.push_back({ rank, at, std::move((*titles)[rank]) });
    }
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.rank < b.rank; });
    nlohmann::json list = nlohmann::json::array();
    for (std::size_t at = 0; at < found.size() && at < limit; ++at) {
        const TitleSuggestion& suggestion = found[at].hit;
        const TLibraryBook& book = *books[found[at].bookAt];
        list.push_back({ { "title", suggestion.title }, { "name", BookTextToUtf8(suggestion.page) },
            { "link",
                PageLinkIn(urlRoot, book, suggestion.page)
                    + (suggestion.anchor.empty() ? "" : "#" + suggestion.anchor) },
            { "book", book.name }, { "bookTitle", book.title } });
    }
    return TextAnswer(200,
        nlohmann::json { { "query", typed }, { "suggestions", list } }.dump(
            -1, ' ', false, nlohmann::json::error_handler_t::replace),
        "application/json");
}
