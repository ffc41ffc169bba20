#pragma once

#include "pageservice/Answer.h"
#include "search/ContentsPlaces.h"
#include "search/SearchIndex.h"
#include "search/TitleSuggestions.h"
#include "sources/BookFileSource.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>

class TBookReader;
class TZimSource;
class THTTPRequestInfo;

// The book's search for `ebook-pack serve`: the index the book keeps, else one built on a thread
// of its own as serving starts. Two reserved paths, answered before any page lookup so that no
// page shadows them, query it. kSearchPath?q=WORDS answers an HTML page of results (title,
// breadcrumb, snippet, link), with format=json the same as JSON; start=N and limit=N (at most
// kMostServedResults) page through them. The words are matched whole, as on the command line.
// kSuggestPath?q=WORDS answers, as JSON, the titles that begin with the words (the last may be cut
// short), limit=N of them (at most kMostServedResults). Requests that come while the index is
// being built wait for it. A stored index or a ZIM's own index found damaged by a query is named
// once on `err` and replaced by one built in memory.
class TServedSearch {
public:
    static constexpr std::string_view kSearchPath = "/.search";
    static constexpr std::string_view kSuggestPath = "/.suggest";
    static constexpr int64_t kMostServedResults = 100;

    // The source, searched as SourceSearch.h says (a book through the index it keeps, a ZIM
    // through its own when it has one), must outlive the search. `err` hears, from the search's own
    // thread, why an index the book keeps is not used (it is damaged); it must outlive the search.
    TServedSearch(TBookSource& source, std::ostream& err);
    // Stops the build between two pages and joins its thread; waiting requests get 503.
    ~TServedSearch();
    TServedSearch(const TServedSearch&) = delete;
    TServedSearch& operator=(const TServedSearch&) = delete;

    // The answer to the request when it names a search path; nothing else.
    std::optional<TAnswer> Answer(const THTTPRequestInfo& request);
    // The answers of kSearchPath and kSuggestPath to the request's parameters, whatever its path:
    // every link they write (results, the search form) begins with `linkPrefix` ("/root/book"),
    // so that a book served under a path of its own links there; an empty prefix gives Answer's.
    TAnswer AnswerSearch(const THTTPRequestInfo& request, std::string_view linkPrefix);
    TAnswer AnswerSuggestions(const THTTPRequestInfo& request, std::string_view linkPrefix);

    // One page of results for the words, placed in the contents, once the index is ready; an
    // answer other than 200 (the server stopping, a source that cannot be searched) when not.
    struct TFound {
        int32_t code = 200;
        std::string why; // the answer's text when code is not 200
        SearchResults results;
    };
    TFound Find(const std::string& typed, int64_t start, int64_t limit);
    // Up to `limit` titles that begin with the words, once they are gathered; nothing when the
    // server is stopping.
    std::optional<std::vector<TitleSuggestion>> Suggest(const std::string& typed, std::size_t limit);
    // Stops the build; requests waiting for it are answered 503. Safe from any thread.
    void Stop();

private:
    void Build();
    // Builds the index in memory and its titles; true unless stopped.
    bool BuildInMemory();
    void SetTitles(std::unique_ptr<TTitleSuggestions> titles);
    // Builds an index in memory in place of a damaged one and waits for it; under lock_. Raises
    // Exception when stopped meanwhile.
    void RebuildInMemory(std::unique_lock<std::mutex>& guard);
    // The results, from the stored index or the one in memory; under lock_, with ready_ set.
    SearchResults SearchLocked(
        std::unique_lock<std::mutex>& guard, const std::string& typed, int64_t start, int64_t limit);

    TBookSource& source_;
    const TZimSource* archive_ = nullptr; // searched through its own index, when set
    std::string unsearchable_; // why the source's text cannot be searched, when it cannot
    // The contents the source keeps, read by thread_ before ready_ is first set; empty where they
    // cannot be read.
    const TContents* contents_ = &kNoContents;
    static const TContents kNoContents;
    TContentsPlaces places_; // set by thread_ before ready_
    // The titles suggested, set by thread_ and replaced by a build in memory; under titlesLock_,
    // which suggestions take instead of lock_, so that they never wait for a running search.
    std::shared_ptr<const TTitleSuggestions> titles_;
    std::mutex titlesLock_;
    std::condition_variable titlesMade_;
    bool titlesStop_ = false; // under titlesLock_
    std::mutex suggestLock_; // held while titles are looked up
    std::unique_ptr<TSearchIndex> stored_; // the book's own index, when it has one
    TSearchIndex index_; // else built by thread_; either is queried under lock_
    std::ostream& err_; // hears why the book's own index was not used
    std::mutex lock_;
    std::condition_variable built_;
    bool ready_ = false; // under lock_
    bool stop_ = false; // under lock_
    std::thread thread_; // last: joined while everything above exists
};

// The address of a page the book stores under `storedName`, as a link from the server's root:
// every byte but unreserved ones and "/" escaped, so that names with blanks, "#", "?" or any
// script reach the page.
std::string ServedPageLink(std::string_view storedName);

// The value of `name` in a query string ("a=1&q=vacuum+full"): '+' is a blank and %hh escapes are
// decoded; empty when absent.
std::string QueryParameter(std::string_view query, std::string_view name);

// The whole number `name` holds in the query string, at most `highest`; `fallback` when it is
// absent, negative or no number.
int64_t NumberParameter(std::string_view query, std::string_view name, int64_t fallback, int64_t highest);
