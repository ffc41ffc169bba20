#pragma once

#include "search/SearchIndex.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

class TBookReader;

// Answers from the index the book keeps, when it keeps one; else builds a book's index on a thread
// of its own, a page at a time, and answers queries on that
// same thread between pages: a query asked while it builds is answered over the pages indexed so
// far at once, again with each progress report, and once more when the index is complete. Only
// the newest waiting query is answered.
class TSearchWorker {
public:
    // The callbacks run on the worker thread; set them before Start.
    // Entries done out of the directory's total; also once when the build ends (done == total).
    std::function<void(int done, int total)> OnProgress;
    // A page whose record cannot be read or inflated; it is left out of the index.
    std::function<void(const std::string& name)> OnDamaged;
    // The answer to the query with this ticket (the number Search returned).
    std::function<void(uint64_t ticket, const SearchResults& results)> OnResults;

    // The reader must be loaded and outlive the worker.
    explicit TSearchWorker(const TBookReader& reader);
    // Stops the build and joins the thread before anything else goes.
    ~TSearchWorker();
    TSearchWorker(const TSearchWorker&) = delete;
    TSearchWorker& operator=(const TSearchWorker&) = delete;

    void Start();
    // Asks for results from `offset`; returns the ticket OnResults will carry.
    uint64_t Search(std::string typed, int64_t offset, int64_t limit, LastWord last = LastWord::Whole);
    bool Started() const { return thread_.joinable(); }

private:
    struct Request {
        uint64_t ticket = 0;
        std::string typed;
        int64_t offset = 0;
        int64_t limit = 0;
        LastWord last = LastWord::Whole;
    };
    void Run();
    // Answers every query from the index the book keeps until stopped (true); false at once when
    // the book keeps none that can be read, or later when it turns out damaged.
    bool AnswerFromStoredIndex();
    void Answer(const Request& request, bool complete);

    const TBookReader& reader_;
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
