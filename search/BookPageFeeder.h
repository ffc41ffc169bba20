#pragma once

#include "common/OrderedSlots.h"
#include "search/PreparedPage.h"
#include "search/RepeatedText.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class TBookReader;

enum class PageIndexing {
    Indexed,
    Skipped, // not a text page, or a later entry with an earlier entry's name (never served)
    Damaged, // the record cannot be read or inflated
};

// One directory entry made ready for the index.
struct PreparedEntry {
    int entry = 0;
    PageIndexing outcome = PageIndexing::Skipped;
    std::optional<PreparedPage> page; // when the outcome is Indexed
};

// Hands an index a source's pages, prepared, one at a time in the source's order.
class TPageFeeder {
public:
    virtual ~TPageFeeder() = default;
    // The next entry, waiting until it is prepared; nothing once every entry has come out.
    virtual std::optional<PreparedEntry> Next() = 0;
    virtual int Total() const = 0;
    // The page name of an entry, for messages.
    virtual std::string NameOf(int entry) const = 0;
};

// Prepares a book's entries for its index on threads of its own (first learning the text repeated
// on many of its pages, which no page's body keeps; then reading and inflating each page,
// taking its text, packing that) while the index's thread adds the pages prepared before: the
// index then spends its time on the words alone. Entries come out in directory order, at most a
// few dozen prepared ahead of the taker. Pages are read the way the page service reads them, at
// positions of their own, so page requests served meanwhile never wait for the build.
class TBookPageFeeder : public TPageFeeder {
public:
    // The reader must be loaded and outlive the feeder. With `threads` 0 the taker prepares each
    // entry itself as it asks for it; kThreadPerProcessor takes a thread for each processor beside
    // the taker's (none on one processor).
    static constexpr int kThreadPerProcessor = -1;
    explicit TBookPageFeeder(const TBookReader& reader, int threads = kThreadPerProcessor);
    // Stops the threads and joins them.
    ~TBookPageFeeder() override;
    TBookPageFeeder(const TBookPageFeeder&) = delete;
    TBookPageFeeder& operator=(const TBookPageFeeder&) = delete;

    // The next entry, waiting until it is prepared; nothing once every entry has come out.
    std::optional<PreparedEntry> Next() override;
    int Total() const override { return total_; }
    std::string NameOf(int entry) const override;

private:
    void Work();
    void StopAndJoin();

    const TBookReader& reader_;
    const int total_;
    const TRepeatedText repeated_; // read by every thread, changed by none
    TOrderedSlots<PreparedEntry> ready_; // entries the threads prepared, waiting for the taker
    int taken_ = 0; // entries handed out by Next, on the taker's thread
    std::optional<TPagePreparer> ownPreparer_; // the taker's, when no thread prepares
    // Last: joined in the destructor while everything above still exists.
    std::vector<std::thread> threads_;
};

class TSearchIndex;

// The entries' bodies as the index takes them (empty for one it does not take), in their order,
// read and parsed on a few threads at once: a result page's snippets need each page whole, and
// one large page (a generated index of several MB) would keep the rest waiting. Raises what
// reading an entry raised.
std::vector<std::string> SearchedBodies(
    const TBookReader& reader, const std::vector<int>& entries, const TRepeatedText& repeated);

// The text repeated on many pages of the book, learnt from a sample of its pages.
TRepeatedText LearnRepeatedText(const TBookReader& reader);

// Whether the page is a plain-text copy of an HTML page's source, beside it in the book (Sphinx's
// "_sources/NAME.rst.txt" for "NAME.html"): it is searched as that page, not as a page of its own.
bool IsSourceCopy(const TBookReader& reader, std::string_view name);
// The same for any set of pages: `holds` tells whether a page of that name is there.
bool IsSourceCopy(std::string_view name, const std::function<bool(const std::string&)>& holds);

// Adds a prepared entry's page to the index; the entry's outcome, which is Damaged when the index
// cannot take the page (out of memory), as for a page that cannot be read.
PageIndexing AddToIndex(TSearchIndex& index, PreparedEntry& prepared);

// Adds every page of the book to the index through a feeder and ends the build. `onEntry` hears
// each entry's outcome in directory order; a page the index cannot take (out of memory) counts as
// damaged.
void IndexWholeBook(const TBookReader& reader, TSearchIndex& index,
    const std::function<void(int entry, PageIndexing outcome)>& onEntry = {});
