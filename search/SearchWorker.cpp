#include "search/SearchWorker.h"

#include "search/SourceSearch.h"
#include "sources/BookSource.h"
#include "sources/SourceContents.h"

#include <chrono>
#include <memory>

namespace {

// Progress is reported at most this often, and at the end.
constexpr auto kProgressInterval = std::chrono::milliseconds(50);

} // namespace

const TContents TSearchWorker::kNoContents;

TSearchWorker::TSearchWorker(TBookSource& source)
    : source_(source)
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

uint64_t TSearchWorker::Search(std::string typed, int64_t offset, int64_t limit, LastWord last, std::size_t suggestions)
{
    uint64_t ticket = 0;
    {
        std::lock_guard guard(lock_);
        ticket = ++lastTicket_;
        pending_ = Request { ticket, std::move(typed), offset, limit, last, suggestions };
    }
    wake_.notify_all();
    return ticket;
}

void TSearchWorker::MakeTitles(const TSearchIndex* index)
{
    auto titles = std::make_unique<TTitleSuggestions>();
    try {
        AddSourceTitles(*titles, source_, *contents_, index);
    } catch (const std::exception&) {
        // A stored index whose titles cannot be read: the contents' titles are offered alone.
        titles = std::make_unique<TTitleSuggestions>();
        AddSourceTitles(*titles, source_, *contents_, nullptr);
    }
    titles_ = std::move(titles);
}

void TSearchWorker::Answer(const Request& request, SearchResults results)
{
    places_.Place(results);
    if (request.offset == 0 && request.suggestions > 0 && titles_)
        results.suggestions = SuggestTitles(source_, *titles_, request.typed, request.suggestions);
    if (OnResults)
        OnResults(request.ticket, results);
}

bool TSearchWorker::AnswerUntilStopped(const std::function<SearchResults(const Request&)>& answer)
{
    for (;;) {
        std::optional<Request> request;
        {
            std::unique_lock guard(lock_);
            wake_.wait(guard, [&] { return stop_ || pending_.has_value(); });
            if (stop_)
                return true;
            request.swap(pending_);
        }
        SearchResults results;
        try {
            results = answer(*request);
        } catch (const std::exception&) {
            std::lock_guard guard(lock_);
            if (!pending_)
                pending_ = std::move(request);
            return false;
        }
        Answer(*request, std::move(results));
    }
}

void TSearchWorker::AnswerNothing(const std::string& why)
{
    MakeTitles(nullptr);
    if (OnUnsearchable)
        OnUnsearchable(why);
    AnswerUntilStopped([](const Request& request) {
        SearchResults none;
        none.offset = request.offset;
        return none;
    });
}

void TSearchWorker::Run()
{
    try {
        contents_ = &ContentsOfSource(source_);
    } catch (const std::exception&) {
        // Contents that cannot be read: results come without breadcrumbs.
    }
    places_ = TContentsPlaces(*contents_);
    if (const TZimSource* zim = ArchiveSearchOf(source_)) {
        MakeTitles(nullptr);
        if (OnProgress)
            OnProgress(0, 0);
        const bool stopped = AnswerUntilStopped([zim](const Request& request) {
            return ArchiveResults(*zim, request.typed, request.offset, request.limit);
        });
        if (stopped)
            return;
        // The archive's own index failed a query, which waits: the archive is searched as one
        // without an index of its own.
    }
    if (const std::string why = WhyNotSearchable(source_); !why.empty()) {
        AnswerNothing(why);
        return;
    }
    try {
        stored_ = OpenStoredIndexOf(source_);
    } catch (const std::exception&) {
        // Damaged: an index is built as for a book without one.
    }
    if (stored_) {
        MakeTitles(stored_.get());
        if (OnProgress)
            OnProgress(0, 0);
        const bool stopped = AnswerUntilStopped([this](const Request& request) {
            return stored_->Search(request.typed, request.offset, request.limit, request.last);
        });
        if (stopped)
            return;
        // Damaged where a query read it: the question waits for an index built anew.
        stored_.reset();
    }
    try {
        BuildAndAnswer();
    } catch (const std::exception& error) {
        // The source's list of pages cannot be read (a damaged archive): titles only.
        AnswerNothing(std::string("This source cannot be searched: ") + error.what());
    }
}

void TSearchWorker::BuildAndAnswer()
{
    MakeTitles(nullptr); // the contents' titles until the pages' are known
    // Made here, so that its threads start with the build and go once it is done.
    std::unique_ptr<TPageFeeder> feeder = PageFeederOf(source_);
    const int total = feeder->Total();
    int done = 0;
    auto lastReport = std::chrono::steady_clock::now();
    const auto search = [this](const Request& request, bool complete) {
        SearchResults results = index_.Search(request.typed, request.offset, request.limit, request.last);
        results.complete = complete;
        Answer(request, std::move(results));
    };
    const auto finish = [&] {
        feeder.reset();
        index_.Finish();
        MakeTitles(&index_);
        if (OnProgress)
            OnProgress(done, total);
    };
    // A query answered before the index was complete, to answer again at the end.
    std::optional<Request> partial;
    if (total == 0)
        finish();
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
            search(*request, complete);
            partial = complete ? std::nullopt : request;
            continue;
        }
        std::optional<PreparedEntry> prepared = feeder->Next();
        if (prepared && AddToIndex(index_, *prepared) == PageIndexing::Damaged && OnDamaged)
            OnDamaged(feeder->NameOf(prepared->entry));
        ++done;
        const auto now = std::chrono::steady_clock::now();
        if (done == total) {
            finish();
            if (partial) {
                search(*partial, true);
                partial.reset();
            }
        } else if (now - lastReport >= kProgressInterval) {
            lastReport = now;
            if (OnProgress)
                OnProgress(done, total);
            // The results grow with the index while it builds.
            if (partial)
                search(*partial, false);
        }
    }
}
