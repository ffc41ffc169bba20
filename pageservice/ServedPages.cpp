#include "pageservice/ServedPages.h"

#include "book/BookReader.h"
#include "server/socket/MemoryFile.h"
#include "server/socket/NetExceptions.h"

#include <algorithm>

struct TServedPages::Ledger {
    Ledger(std::size_t budgetBytes, std::size_t cacheBytes)
        : budget(budgetBytes)
        , cache(cacheBytes)
    {
    }

    // Called with PageLock not held, when the last holder of a page with a memory file lets it
    // go, before its bytes (whose address is the key) are freed and could be reused.
    void ForgetFile(const std::string* page)
    {
        std::lock_guard<std::mutex> lock(PageLock);
        files.erase(page);
    }

    // The memory file of a page, -1 for none; PageLock held.
    int FileOf(const std::string* page) const
    {
        const auto found = files.find(page);
        return found == files.end() ? -1 : found->second;
    }

    // Pages of at most a sixteenth of the budget are small: they have a quarter of the budget
    // to themselves besides it, so that pages larger than the budget (served alone) or many large
    // pages held by clients that do not read never hold up the small pages of other readers.
    bool IsSmall(std::size_t size) const { return size <= budget / 16; }
    bool HasRoomFor(std::size_t size) const
    {
        if (IsSmall(size))
            return heldSmall + size <= budget / 4;
        const std::size_t heldLarge = held - heldSmall;
        return heldLarge == 0 || heldLarge + size <= budget;
    }
    // Counts charge bytes for a page of this size; PageLock held.
    void Hold(std::size_t size, std::size_t charge)
    {
        held += charge;
        if (IsSmall(size))
            heldSmall += charge;
        peak = std::max(peak, held);
    }

    // Called with PageLock not held, when the last holder of a page of this size lets it go;
    // charge is what it counted.
    void Release(std::size_t size, std::size_t charge)
    {
        {
            std::lock_guard<std::mutex> lock(PageLock);
            held -= charge;
            if (IsSmall(size))
                heldSmall -= charge;
        }
        changed.notify_all();
    }

    // Guards the accounting, the pages in flight and the cache; never held while a page is
    // inflated or sent.
    std::mutex PageLock;
    std::condition_variable changed; // a page was let go or finished inflating, or stopping
    const std::size_t budget;
    std::size_t held = 0; // bytes of pages inflated or being inflated, not yet let go
    std::size_t heldSmall = 0; // of them, those of small pages
    std::size_t peak = 0;
    std::size_t inflations = 0;
    bool stopping = false;
    bool keepStored = false;
    // Pages that some answer holds now, by directory index; an expired entry is a page let go.
    std::unordered_map<int, std::weak_ptr<const std::string>> live;
    std::set<int> inflating;
    TPageCache cache;
    // Pages that a memory file holds too (see kSendFromFileBytes), by the address of their bytes.
    std::unordered_map<const std::string*, int> files;
};

namespace {

// Pages kept in the cache from this size on get a memory file too, which answers send without a
// copy. Smaller ones leave in one or two gathered sends anyway, and a file each would cost a
// descriptor per cached page.
constexpr std::size_t kSendFromFileBytes = 64 * 1024;

// A page's bytes with the memory file that holds them too and its stored zlib bytes, freed
// together.
struct InflatedPage {
    std::string bytes;
    std::unique_ptr<TMemoryFile> file;
    std::string deflated;
};

// The deleter of a page's shared bytes: frees the page and tells the ledger. Named, so that the
// stored bytes of a page found again (shared or cached) are reached through it.
struct PageRelease {
    std::weak_ptr<TServedPages::Ledger> weakLedger;
    std::size_t size;
    std::size_t charge;
    InflatedPage* holder;
    int file;

    void operator()(const std::string* done) const
    {
        const auto owner = weakLedger.lock();
        if (owner && file >= 0)
            owner->ForgetFile(done);
        delete holder;
        if (owner)
            owner->Release(size, charge);
    }
};

// The page's stored zlib bytes, sharing its ownership; null when it keeps none.
std::shared_ptr<const std::string> DeflatedOf(const std::shared_ptr<const std::string>& page)
{
    const auto* release = std::get_deleter<PageRelease>(page);
    if (release == nullptr || release->holder->deflated.empty())
        return nullptr;
    return std::shared_ptr<const std::string>(page, &release->holder->deflated);
}

// A lookup's answer for a page in memory.
TPageLookup Found(std::shared_ptr<const std::string> page, int file)
{
    auto deflated = DeflatedOf(page);
    return { true, std::move(page), file, std::move(deflated) };
}

} // namespace

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
    return Page(index);
}

TPageLookup TServedPages::Page(int index)
{
    Ledger& ledger = *ledger_;
    // Read once it is needed: a page kept or shared is answered without reading the book.
    int64_t announced = -2;
    std::size_t size = 0;
    bool keepStored = false;
    {
        std::unique_lock<std::mutex> lock(ledger.PageLock);
        while (true) {
            if (ledger.stopping)
                throw ENetException("Server stopping.");
            if (auto kept = ledger.cache.Find(index)) {
                const int file = ledger.FileOf(kept.get());
                return Found(std::move(kept), file);
            }
            if (const auto found = ledger.live.find(index); found != ledger.live.end()) {
                if (auto shared = found->second.lock()) {
                    const int file = ledger.FileOf(shared.get());
                    return Found(std::move(shared), file);
                }
                ledger.live.erase(found);
            }
            if (announced == -2) {
                announced = reader_.InflatedSizeAt(index);
                size = static_cast<std::size_t>(std::max<int64_t>(announced, 0));
            }
            if (announced < 0)
                return { true, nullptr };
            // Another request is inflating this very page: its result is shared when it is done.
            const bool inflatingElsewhere = ledger.inflating.contains(index);
            // Room: within the budget of its size class, or alone (a page larger than the budget).
            const bool room = ledger.HasRoomFor(size);
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
        ledger.Hold(size, size);
        ledger.inflating.insert(index);
        keepStored = ledger.keepStored;
    }

    // Inflated outside the lock: other pages are found, shared and inflated meanwhile.
    auto inflated = std::make_unique<InflatedPage>();
    std::shared_ptr<const std::string> page;
    int file = -1;
    std::size_t stored = 0;
    // The size read first is what the budget holds: a record that inflates otherwise is refused.
    if (reader_.ExtractPageAtConcurrently(index, inflated->bytes, keepStored ? &inflated->deflated : nullptr)
        && inflated->bytes.size() == size) {
        stored = inflated->deflated.size();
        if (ledger.cache.Budget() > 0 && size >= kSendFromFileBytes) {
            inflated->file = std::make_unique<TMemoryFile>(inflated->bytes);
            file = inflated->file->Handle();
        }
        // The bytes count against the budget until the last answer and the cache let them go. The
        // deleter holds the ledger weakly: it lives as long as the page's weak references do, and
        // the ledger's own list of pages in flight is such a reference, so a strong one would
        // keep both alive for ever. A page let go after the service is gone has nothing to report.
        const std::string* bytes = &inflated->bytes;
        const std::size_t charge = (file >= 0 ? 2 * size : size) + stored;
        page = std::shared_ptr<const std::string>(
            bytes, PageRelease { std::weak_ptr<Ledger>(ledger_), size, charge, inflated.release(), file });
    }
    std::vector<std::shared_ptr<const std::string>> dropped;
    {
        std::lock_guard<std::mutex> lock(ledger.PageLock);
        ledger.inflating.erase(index);
        ++ledger.inflations;
        if (page) {
            if (file >= 0) {
                // The file is a second copy of the bytes, and counts as one.
                ledger.files[page.get()] = file;
                ledger.Hold(size, size);
            }
            if (stored > 0)
                ledger.Hold(size, stored);
            ledger.live[index] = page;
            dropped = ledger.cache.Add(index, page);
        } else {
            ledger.held -= size;
            if (ledger.IsSmall(size))
                ledger.heldSmall -= size;
        }
    }
    ledger.changed.notify_all();
    return Found(std::move(page), file);
}

void TServedPages::KeepStoredBytes(bool keep)
{
    std::lock_guard<std::mutex> lock(ledger_->PageLock);
    ledger_->keepStored = keep;
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
