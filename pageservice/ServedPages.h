#pragma once

#include "pageservice/PageCache.h"
#include "sources/PageSource.h"

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>

class TBookReader;

// The pages of a book as the page server hands them to many clients at once (the viewer's engine
// and `ebook-pack serve` alike): pages are inflated with positioned reads and without one lock
// across inflations, so a small page is not held up by large ones; a page that is being sent is
// shared by every client that asks for it meanwhile instead of being inflated again; and the
// inflated pages held in memory at once, by answers in flight and by the cache together, stay
// within a budget: beyond it, new extractions wait until answers are done.
//
// Shutdown order: Stop() before the listener is destroyed, so that requests waiting for room give
// up at once; the service outlives the listener, whose sessions call into it.
class TServedPages : public TPageSource {
public:
    // budgetBytes bounds the inflated pages in memory (one page larger than that is still served,
    // alone), and pages of at most a sixteenth of it have a quarter more to themselves, so the
    // bound is 1.25 times the budget (or the largest page and a quarter); cacheBytes of them may be
    // kept for clients to come, 0 for none. The reader must be
    // loaded and outlive the service.
    TServedPages(const TBookReader& reader, std::size_t budgetBytes, std::size_t cacheBytes);
    ~TServedPages() override;
    TServedPages(const TServedPages&) = delete;
    TServedPages& operator=(const TServedPages&) = delete;

    // The page stored under the name (the book's first entry of that name), shared. A lookup
    // still waiting for room when Stop is called raises, which closes its connection unanswered.
    TPageLookup Lookup(std::string_view name) override;
    void Stop();
    // Keeps each page's stored zlib bytes with it from now on and hands them out as the lookup's
    // deflated (a server that sends them to clients accepting deflate); they count against the
    // budget too. Off by default: the viewer has no use for them.
    void KeepStoredBytes(bool keep);

    // Bytes of inflated pages in memory now, and the most there ever were.
    std::size_t HeldBytes() const;
    std::size_t PeakHeldBytes() const;
    // Inflations made so far (a shared or cached answer makes none).
    std::size_t Inflations() const;

    // The accounting that the pages' deleters reach while the service lives (defined with them).
    struct Ledger;

private:
    // The page at the directory index, shared; null bytes when it cannot be extracted.
    TPageLookup Page(int index);

    const TBookReader& reader_;
    std::shared_ptr<Ledger> ledger_;
};
