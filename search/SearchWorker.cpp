#include "search/SearchWorker.h"

#include "book/BookReader.h"
#include "search/BookPageFeeder.h"

#include <chrono>
#include <memory>

namespace {

// Progress is reported at most this often, and at the end.
constexpr auto kProgressInterval = std::chrono::milliseconds(50);

} // namespace

TSearchWorker::TSearchWorker(const TBookReader& reader)
    : reader_(reader)
{
}

TSearchWorker::~TSearchWorker()
{
    {
        std::lock_guard guard(lock_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void TSearchWorker::Start()
{
    if (!thread_.joinable())
        thread_ = std::thread([this] { Run(); });
}

uint64_t TSearchWorker::Search(std::string typed, int64_t offset, int64_t limit, LastWord last)
{
    uint64_t ticket = 0;
    {
        std::lock_guard guard(lock_);
        ticket = ++lastTicket_;
        pending_ = Request { ticket, std::move(typed), offset, limit, last };
    }
    wake_.notify_all();
    return ticket;
}

void TSearchWorker::Answer(const Request& request, bool complete)
{
    TSearchIndex& index = stored_ ? *stored_ : index_;
    SearchResults results = index.Search(request.typed, request.offset, request.limit, request.last);
    results.complete = complete;
    if (OnResults)
        OnResults(request.ticket, results);
}

bool TSearchWorker::AnswerFromStoredIndex()
{
    try {
        stored_ = TSearchIndex::OpenStored(reader_);
    } catch (const std::exception&) {
        return false; // damaged: an index is built as for a book without one
    }
    if (!stored_)
        return false;
    if (OnProgress)
        OnProgress(reader_.Pages().Count(), reader_.Pages().Count());
    for (;;) {
        std::optional<Request> request;
        {
            std::unique_lock guard(lock_);
            wake_.wait(guard, [&] { return stop_ || pending_.has_value(); });
            if (stop_)
                return true;
            request.swap(pending_);
        }
        try {
            Answer(*request, true);
        } catch (const std::exception&) {
            // Damaged where this query read it: the question waits for an index built anew.
            stored_.reset();
            std::lock_guard guard(lock_);
            if (!pending_)
                pending_ = std::move(request);
            return false;
        }
    }
}

void TSearchWorker::Run()
{
    if (AnswerFromStoredIndex())
        return;
    // Made here, so that its threads start with the build and go once it is done.
    auto feeder = std::make_unique<TBookPageFeeder>(reader_);
    const int total = feeder->Total();
    int done = 0;
    auto lastReport = std::chrono::steady_clock::now();
    // A query answered before the index was complete, to answer again at the end.
    std::optional<Request> partial;
    if (total == 0) {
        feeder.reset();
        index_.Finish();
        if (OnProgress)
            OnProgress(0, 0);
    }
    for (;;) {
        std::optional<Request> request;
        {
            std::unique_lock guard(lock_);
            if (done >= total)
                wake_.wait(guard, [&] { return stop_ || pending_.has_value(); });
            if (stop_)
                return;
            request.swap(pending_);
        }
        if (request) {
            const bool complete = done >= total;
            Answer(*request, complete);
            partial = complete ? std::nullopt : request;
            continue;
        }
        std::optional<PreparedEntry> prepared = feeder->Next();
        if (prepared && AddToIndex(index_, *prepared) == PageIndexing::Damaged && OnDamaged)
            OnDamaged(reader_.Pages()[prepared->entry]);
        ++done;
        const auto now = std::chrono::steady_clock::now();
        if (done == total) {
            feeder.reset();
            index_.Finish();
            if (OnProgress)
                OnProgress(done, total);
            if (partial) {
                Answer(*partial, true);
                partial.reset();
            }
        } else if (now - lastReport >= kProgressInterval) {
            lastReport = now;
            if (OnProgress)
                OnProgress(done, total);
            // The results grow with the index while it builds.
            if (partial)
                Answer(*partial, false);
        }
    }
}
