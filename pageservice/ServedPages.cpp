#include "ServedPages.h"

#include "BookReader.h"
#include "NetExceptions.h"

#include <algorithm>

struct TServedPages::Ledger {
    Ledger(std::size_t budgetBytes, std::size_t cacheBytes)
        : budget(budgetBytes)
        , cache(cacheBytes)
    {
    }

    // Called with PageLock not held, when the last holder of a page lets it go.
    void Release(std::size_t size)
    {
        {
            std::lock_guard<std::mutex> lock(PageLock);
            held -= size;
        }
        changed.notify_all();
    }

    // Guards the accounting, the pages in flight and the cache; never held while a page is
    // inflated or sent.
    std::mutex PageLock;
    std::condition_variable changed; // a page was let go or finished inflating, or stopping
    const std::size_t budget;
    std::size_t held = 0; // bytes of pages inflated or being inflated, not yet let go
    std::size_t peak = 0;
    std::size_t inflations = 0;
    bool stopping = false;
    // Pages that some answer holds now, by directory index; an expired entry is a page let go.
    std::unordered_map<int, std::weak_ptr<const std::string>> live;
    std::set<int> inflating;
    TPageCache cache;
};

TServedPages::TServedPages(const TBookReader& reader, std::size_t budgetBytes, std::size_t cacheBytes)
    : reader_(reader)
    , ledger_(std::make_shared<Ledger>(budgetBytes, std::min(cacheBytes, budgetBytes)))
{
}

TServedPages::~TServedPages()
{
    Stop();
    // The kept pages report to the ledger when they go: they go while it is there.
    std::vector<std::shared_ptr<const std::string>> dropped;
    {
        std::lock_guard<std::mutex> lock(ledger_->PageLock);
        dropped = ledger_->cache.Clear();
    }
}

void TServedPages::Stop()
{
    {
        std::lock_guard<std::mutex> lock(ledger_->PageLock);
        ledger_->stopping = true;
    }
    ledger_->changed.notify_all();
}

TPageLookup TServedPages::Lookup(std::string_view name)
{
    const int index = reader_.IndexOfPage(name);
    if (index < 0)
        return {};
    return { true, Page(index) };
}

std::shared_ptr<const std::string> TServedPages::Page(int index)
{
    Ledger& ledger = *ledger_;
    // Read once it is needed: a page kept or shared is answered without reading the book.
    int64_t announced = -2;
    std::size_t size = 0;
    {
        std::unique_lock<std::mutex> lock(ledger.PageLock);
        while (true) {
            if (ledger.stopping)
                throw ENetException("Server stopping.");
            if (auto kept = ledger.cache.Find(index))
                return kept;
            if (const auto found = ledger.live.find(index); found != ledger.live.end()) {
                if (auto shared = found->second.lock())
                    return shared;
                ledger.live.erase(found);
            }
            if (announced == -2) {
                announced = reader_.InflatedSizeAt(index);
                size = static_cast<std::size_t>(std::max<int64_t>(announced, 0));
            }
            if (announced < 0)
                return nullptr;
            // Another request is inflating this very page: its result is shared when it is done.
            const bool inflatingElsewhere = ledger.inflating.contains(index);
            // Room: within the budget, or alone (a page larger than the whole budget).
            const bool room = ledger.held == 0 || ledger.held + size <= ledger.budget;
            if (!inflatingElsewhere && room)
                break;
            if (!inflatingElsewhere && ledger.cache.UsedBytes() > 0) {
                // Pages kept for later give way to answers wanted now; they are let go outside
                // the lock, since letting a page go takes it.
                auto dropped = ledger.cache.Clear();
                lock.unlock();
                dropped.clear();
                lock.lock();
                continue;
            }
            ledger.changed.wait(lock);
        }
        ledger.held += size;
        ledger.peak = std::max(ledger.peak, ledger.held);
        ledger.inflating.insert(index);
    }

    // Inflated outside the lock: other pages are found, shared and inflated meanwhile.
    auto bytes = std::make_unique<std::string>();
    std::shared_ptr<const std::string> page;
    // The size read first is what the budget holds: a record that inflates otherwise is refused.
    if (reader_.ExtractPageAtConcurrently(index, *bytes) && bytes->size() == size) {
        // The bytes count against the budget until the last answer and the cache let them go. The
        // deleter holds the ledger weakly: it lives as long as the page's weak references do, and
        // the ledger's own list of pages in flight is such a reference, so a strong one would
        // keep both alive for ever. A page let go after the service is gone has nothing to report.
        page = std::shared_ptr<const std::string>(
            bytes.release(), [weakLedger = std::weak_ptr<Ledger>(ledger_), size](const std::string* done) {
                delete done;
                if (const auto owner = weakLedger.lock())
                    owner->Release(size);
            });
    }
    std::vector<std::shared_ptr<const std::string>> dropped;
    {
        std::lock_guard<std::mutex> lock(ledger.PageLock);
        ledger.inflating.erase(index);
        ++ledger.inflations;
        if (page) {
            ledger.live[index] = page;
            dropped = ledger.cache.Add(index, page);
        } else {
            ledger.held -= size;
        }
    }
    ledger.changed.notify_all();
    return page;
}

std::size_t TServedPages::HeldBytes() const
{
    std::lock_guard<std::mutex> lock(ledger_->PageLock);
    return ledger_->held;
}

std::size_t TServedPages::PeakHeldBytes() const
{
    std::lock_guard<std::mutex> lock(ledger_->PageLock);
    return ledger_->peak;
}

std::size_t TServedPages::Inflations() const
{
    std::lock_guard<std::mutex> lock(ledger_->PageLock);
    return ledger_->inflations;
}
