#include "search/BookPageFeeder.h"

#include "book/BookReader.h"
#include "common/OrderedWork.h"
#include "search/SearchIndex.h"

#include <algorithm>
#include <exception>

namespace {

// Entries prepared ahead of the taker at most: enough to keep every thread busy, little memory.
constexpr std::size_t kAhead = 32;
constexpr unsigned kMostThreads = 4;

// The entry's text, when it is a page the index takes.
std::optional<PageText> TextOfEntry(const TBookReader& reader, int entry, bool& damaged)
{
    damaged = false;
    const std::string& name = reader.Pages()[entry];
    // Only the first entry of a name is served, so only it is searched.
    if (reader.IndexOfPage(name) != entry || PageKindOf(name) == PageKind::Other || IsSourceCopy(reader, name))
        return std::nullopt;
    std::string bytes;
    if (!reader.ExtractPageAtConcurrently(entry, bytes)) {
        damaged = true;
        return std::nullopt;
    }
    return ExtractPageText(name, bytes);
}

PreparedEntry PrepareEntry(const TBookReader& reader, int entry, TPagePreparer& preparer, const TRepeatedText& repeated)
{
    PreparedEntry prepared { entry, PageIndexing::Skipped, std::nullopt };
    const std::string& name = reader.Pages()[entry];
    try {
        bool damaged = false;
        auto text = TextOfEntry(reader, entry, damaged);
        if (damaged)
            prepared.outcome = PageIndexing::Damaged;
        if (!text)
            return prepared;
        repeated.Strip(*text);
        prepared.page = preparer.Prepare(name, std::move(*text));
        prepared.outcome = PageIndexing::Indexed;
    } catch (const std::exception&) {
        // Out of memory for this page: it is left out like a damaged one.
        prepared.outcome = PageIndexing::Damaged;
    }
    return prepared;
}

bool EndsWith(std::string_view text, std::string_view end)
{
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

} // namespace

bool IsSourceCopy(std::string_view name, const std::function<bool(const std::string&)>& holds)
{
    constexpr std::string_view kFolder = "_sources/";
    const std::size_t folder = name.find(kFolder);
    if (folder == std::string_view::npos || (folder > 0 && name[folder - 1] != '/') || !EndsWith(name, ".txt"))
        return false;
    std::string page = std::string(name.substr(0, folder)) + std::string(name.substr(folder + kFolder.size()));
    page.resize(page.size() - 4);
    // "NAME.rst.txt" copies "NAME.rst", made into "NAME.html"; older builders wrote "NAME.txt".
    const std::size_t dot = page.rfind('.');
    const std::size_t slash = page.rfind('/');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        page.resize(dot);
    return holds(page + ".html") || holds(page + ".htm");
}

bool IsSourceCopy(const TBookReader& reader, std::string_view name)
{
    return IsSourceCopy(name, [&](const std::string& page) { return reader.IndexOfPage(page) >= 0; });
}

namespace {

// The entry's text as the index takes it (repeated text left out); nothing for an entry the index
// does not take or cannot read.
std::optional<PageText> SearchedText(const TBookReader& reader, int entry, const TRepeatedText& repeated)
{
    if (entry < 0 || entry >= reader.Pages().Count())
        return std::nullopt;
    bool damaged = false;
    std::optional<PageText> text = TextOfEntry(reader, entry, damaged);
    if (text)
        repeated.Strip(*text);
    return text;
}

} // namespace

std::vector<std::string> SearchedBodies(
    const TBookReader& reader, const std::vector<int>& entries, const TRepeatedText& repeated)
{
    std::vector<std::string> bodies(entries.size());
    // A few threads at most: a server answers other queries meanwhile.
    RunOrdered(
        entries.size(), std::min(WorkerThreadsAvailable(), kMostThreads), entries.size(),
        [&](std::size_t i) {
            std::optional<PageText> text = SearchedText(reader, entries[i], repeated);
            return text ? std::move(text->body) : std::string();
        },
        [&](std::size_t i, std::string&& body) { bodies[i] = std::move(body); });
    return bodies;
}

TRepeatedText LearnRepeatedText(const TBookReader& reader)
{
    std::vector<int> pages;
    for (int entry = 0; entry < reader.Pages().Count(); ++entry) {
        const std::string& name = reader.Pages()[entry];
        const PageKind kind = PageKindOf(name);
        if ((kind == PageKind::Html || kind == PageKind::Xhtml) && reader.IndexOfPage(name) == entry)
            pages.push_back(entry);
    }
    return TRepeatedText::LearnFromSample(pages.size(), [&](std::size_t i) {
        bool damaged = false;
        return TextOfEntry(reader, pages[i], damaged);
    });
}

TBookPageFeeder::TBookPageFeeder(const TBookReader& reader, int threads)
    : reader_(reader)
    , total_(reader.Pages().Count())
    , repeated_(LearnRepeatedText(reader))
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
            preparer ? PrepareEntry(reader_, entry, *preparer, repeated_)
                     : PreparedEntry { entry, PageIndexing::Damaged, std::nullopt });
    }
}

std::string TBookPageFeeder::NameOf(int entry) const
{
    return reader_.Pages()[entry];
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
    return PrepareEntry(reader_, entry, *ownPreparer_, repeated_);
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
