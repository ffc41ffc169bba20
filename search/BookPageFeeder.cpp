#include "search/BookPageFeeder.h"

#include "book/BookReader.h"
#include "search/SearchIndex.h"

#include <algorithm>

namespace {

// Entries prepared ahead of the taker at most: enough to keep every thread busy, little memory.
constexpr std::size_t kAhead = 32;
constexpr unsigned kMostThreads = 4;

PreparedEntry PrepareEntry(const TBookReader& reader, int entry, TPagePreparer& preparer)
{
    PreparedEntry prepared { entry, PageIndexing::Skipped, std::nullopt };
    const std::string& name = reader.Pages()[entry];
    // Only the first entry of a name is served, so only it is searched.
    if (reader.IndexOfPage(name) != entry || PageKindOf(name) == PageKind::Other)
        return prepared;
    try {
        std::string bytes;
        if (!reader.ExtractPageAtConcurrently(entry, bytes)) {
            prepared.outcome = PageIndexing::Damaged;
            return prepared;
        }
        auto text = ExtractPageText(name, bytes);
        if (!text)
            return prepared;
        prepared.page = preparer.Prepare(name, std::move(*text));
        prepared.outcome = PageIndexing::Indexed;
    } catch (const std::exception&) {
        // Out of memory for this page: it is left out like a damaged one.
        prepared.outcome = PageIndexing::Damaged;
    }
    return prepared;
}

} // namespace

TBookPageFeeder::TBookPageFeeder(const TBookReader& reader, int threads)
    : reader_(reader)
    , total_(reader.Pages().Count())
    , ready_(static_cast<std::size_t>(total_), kAhead)
{
    // The index's own thread is busy too: on two processors one thread preparing pages beside it
    // builds the index faster than two, which would take turns with it.
    if (threads < 0)
        threads = static_cast<int>(std::min(std::max(std::thread::hardware_concurrency(), 1U), kMostThreads + 1)) - 1;
    threads = std::min(threads, total_);
    try {
        for (int i = 0; i < threads; ++i)
            threads_.emplace_back([this] { Work(); });
    } catch (const std::exception&) {
        // No more threads to be had: those started do the work, or else the taker does.
    }
}

TBookPageFeeder::~TBookPageFeeder()
{
    StopAndJoin();
}

void TBookPageFeeder::StopAndJoin()
{
    ready_.Stop();
    for (std::thread& thread : threads_) {
        if (thread.joinable())
            thread.join();
    }
    threads_.clear();
}

void TBookPageFeeder::Work()
{
    std::optional<TPagePreparer> preparer;
    try {
        preparer.emplace();
    } catch (const std::exception&) {
        // Out of memory: the entries this thread takes come out as damaged ones.
    }
    while (const std::optional<std::size_t> taken = ready_.Take()) {
        const int entry = static_cast<int>(*taken);
        ready_.Put(*taken,
            preparer ? PrepareEntry(reader_, entry, *preparer)
                     : PreparedEntry { entry, PageIndexing::Damaged, std::nullopt });
    }
}

std::optional<PreparedEntry> TBookPageFeeder::Next()
{
    if (taken_ >= total_)
        return std::nullopt;
    const int entry = taken_++;
    if (!threads_.empty())
        return ready_.Next();
    if (!ownPreparer_) {
        try {
            ownPreparer_.emplace();
        } catch (const std::exception&) {
            return PreparedEntry { entry, PageIndexing::Damaged, std::nullopt }; // out of memory
        }
    }
    return PrepareEntry(reader_, entry, *ownPreparer_);
}

PageIndexing AddToIndex(TSearchIndex& index, PreparedEntry& prepared)
{
    if (prepared.outcome == PageIndexing::Indexed) {
        try {
            index.Add(std::move(*prepared.page));
        } catch (const std::exception&) {
            prepared.outcome = PageIndexing::Damaged;
        }
    }
    return prepared.outcome;
}

void IndexWholeBook(
    const TBookReader& reader, TSearchIndex& index, const std::function<void(int entry, PageIndexing outcome)>& onEntry)
{
    {
        TBookPageFeeder feeder(reader);
        while (std::optional<PreparedEntry> prepared = feeder.Next()) {
            const PageIndexing outcome = AddToIndex(index, *prepared);
            if (onEntry)
                onEntry(prepared->entry, outcome);
        }
    }
    index.Finish();
}
