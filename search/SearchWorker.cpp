#include "SearchWorker.h"

#include "BookIndexing.h"
#include "BookReader.h"

#include <chrono>

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

uint64_t TSearchWorker::Search(std::string typed, int64_t offset, int64_t limit)
{
    uint64_t ticket = 0;
    {
        std::lock_guard guard(lock_);
        ticket = ++lastTicket_;
        pending_ = Request { ticket, std::move(typed), offset, limit };
    }
    wake_.notify_all();
    return ticket;
}

void TSearchWorker::Answer(const Request& request, bool complete)
{
    SearchResults results = index_.Search(request.typed, request.offset, request.limit);
    results.complete = complete;
    if (OnResults)
        OnResults(request.ticket, results);
}

void TSearchWorker::Run()
{
    const int total = reader_.Pages().Count();
    const std::vector<bool> served = ServedEntries(reader_);
    int next = 0;
    auto lastReport = std::chrono::steady_clock::now();
    // A query answered before the index was complete, to answer again at the end.
    std::optional<Request> partial;
    if (total == 0) {
        index_.Finish();
        if (OnProgress)
            OnProgress(0, 0);
    }
    for (;;) {
        std::optional<Request> request;
        {
            std::unique_lock guard(lock_);
            if (next >= total)
                wake_.wait(guard, [&] { return stop_ || pending_.has_value(); });
            if (stop_)
                return;
            request.swap(pending_);
        }
        if (request) {
            const bool complete = next >= total;
            Answer(*request, complete);
            partial = complete ? std::nullopt : request;
            continue;
        }
        PageIndexing outcome = PageIndexing::Damaged;
        try {
            outcome = IndexBookPage(reader_, next, served[static_cast<std::size_t>(next)], index_);
        } catch (const std::exception&) {
            // The index could not take the page (out of memory): it is left out like a damaged one.
        }
        if (outcome == PageIndexing::Damaged && OnDamaged)
            OnDamaged(reader_.Pages()[next]);
        ++next;
        const auto now = std::chrono::steady_clock::now();
        if (next == total) {
            index_.Finish();
            if (OnProgress)
                OnProgress(next, total);
            if (partial) {
                Answer(*partial, true);
                partial.reset();
            }
        } else if (now - lastReport >= kProgressInterval) {
            lastReport = now;
            if (OnProgress)
                OnProgress(next, total);
            // The results grow with the index while it builds.
            if (partial)
                Answer(*partial, false);
        }
    }
}
