#pragma once

#include "search/ContentsPlaces.h"
#include "search/SearchIndex.h"
#include "search/TitleSuggestions.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

class TBookSource;
class TZimSource;

// Searches any source on a thread of its own (SourceSearch.h says how each kind is searched).
// A source searched through an index built here is indexed a page at a time, and queries are
// answered on that same thread between pages: a query asked while it builds is answered over the
// pages indexed so far at once, again with each progress report, and once more when the index is
// complete. Only the newest waiting query is answered. Each hit carries its breadcrumb, and the
// first page of results the titles that begin with the words.
class TSearchWorker {
public:
    // The callbacks run on the worker thread; set them before Start.
    // Entries done out of the total; also once when the build ends (done == total).
    std::function<void(int done, int total)> OnProgress;
    // A page that cannot be read; it is left out of the index.
    std::function<void(const std::string& name)> OnDamaged;
    // The answer to the query with this ticket (the number Search returned).
    std::function<void(uint64_t ticket, const SearchResults& results)> OnResults;
    // Why the source's text cannot be searched (titles still are); once, before any answer but
    // those of a ZIM's own index that failed (the archive is then searched as one without).
    std::function<void(const std::string& why)> OnUnsearchable;

    // The source must outlive the worker; its pages are read on the worker's threads while others
    // may read them too. Its contents are the ones the source keeps (ContentsOfSource): a viewer's
    // panel reading them meanwhile is waited for, not repeated.
    explicit TSearchWorker(TBookSource& source);
    // Stops the build and joins the thread before anything else goes.
    ~TSearchWorker();
    TSearchWorker(const TSearchWorker&) = delete;
    TSearchWorker& operator=(const TSearchWorker&) = delete;

    void Start();
    // Asks for results from `offset`, with at most `suggestions` titles when `offset` is 0;
    // returns the ticket OnResults will carry.
    uint64_t Search(
        std::string typed, int64_t offset, int64_t limit, LastWord last = LastWord::Whole, std::size_t suggestions = 0);
    bool Started() const { return thread_.joinable(); }

private:
    struct Request {
        uint64_t ticket = 0;
        std::string typed;
        int64_t offset = 0;
        int64_t limit = 0;
        LastWord last = LastWord::Whole;
        std::size_t suggestions = 0;
    };
    void Run();
    // Answers every query with `answer` until stopped (true); false when `answer` raises, with the
    // query left waiting for whatever answers next.
    bool AnswerUntilStopped(const std::function<SearchResults(const Request&)>& answer);
    void BuildAndAnswer();
    // Says why on OnUnsearchable and answers every query with no results until stopped.
    void AnswerNothing(const std::string& why);
    void Answer(const Request& request, SearchResults results);
    void MakeTitles(const TSearchIndex* index);

    TBookSource& source_;
    // The source's contents, read on the worker thread; empty where they cannot be read.
    const TContents* contents_ = &kNoContents;
    static const TContents kNoContents;
    TContentsPlaces places_;
    std::unique_ptr<TTitleSuggestions> titles_;
    std::unique_ptr<TSearchIndex> stored_; // the book's own index, when it keeps one
    TSearchIndex index_; // else built here; both touched only on the worker thread once started
    std::mutex lock_;
    std::condition_variable wake_;
    std::optional<Request> pending_; // under lock_
    uint64_t lastTicket_ = 0; // under lock_
    bool stop_ = false; // under lock_
    // Last: joined in the destructor while everything above still exists.
    std::thread thread_;
};
