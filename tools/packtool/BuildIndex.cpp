#include "tools/packtool/BuildIndex.h"

#include "book/BookWriter.h"
#include "book/PageCompressor.h"
#include "common/BookText.h"
#include "common/OrderedWork.h"
#include "html/PageText.h"
#include "search/BookPageFeeder.h"
#include "search/ContentsPlaces.h"
#include "search/StoredIndex.h"
#include "sources/StoredContents.h"

#include <algorithm>

TBuildIndex::TBuildIndex(const std::vector<SourcePage>& pages, const std::vector<std::string>& leftOut)
    : pages_(pages)
{
    for (const std::string& name : leftOut)
        leftOut_.insert(FoldedBookText(name));
    std::vector<std::size_t> markup;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        names_.insert(pages[i].pageName);
        const PageKind kind = PageKindOf(pages[i].pageName);
        if (kind == PageKind::Html || kind == PageKind::Xhtml)
            markup.push_back(i);
    }
    repeated_ = TRepeatedText::LearnFromSample(markup.size(), [&](std::size_t n) {
        const SourcePage& page = pages[markup[n]];
        return ExtractPageText(page.pageName, page.load());
    });
}

void TBuildIndex::Prepare(std::size_t i, const std::string& content)
{
    const std::string& name = pages_[i].pageName;
    if (PageKindOf(name) == PageKind::Other || IsStoredIndexEntry(name) || leftOut_.contains(FoldedBookText(name))
        || IsSourceCopy(name, [this](const std::string& page) { return names_.contains(page); }))
        return;
    std::optional<PageText> text = ExtractPageText(name, content);
    if (!text)
        return;
    repeated_.Strip(*text);
    // Each packing thread prepares with a preparer of its own.
    thread_local std::optional<TPagePreparer> preparer;
    if (!preparer)
        preparer.emplace(TPagePreparer::Keep::WordsOnly);
    PreparedPage page = preparer->Prepare(name, std::move(*text));
    std::lock_guard guard(lock_);
    prepared_.emplace(i, std::move(page));
}

void TBuildIndex::Add(std::size_t i)
{
    std::optional<PreparedPage> page;
    {
        std::lock_guard guard(lock_);
        const auto found = prepared_.find(i);
        if (found == prepared_.end())
            return;
        page = std::move(found->second);
        prepared_.erase(found);
    }
    index_.Add(std::move(*page));
}

std::optional<TContentsPlaces> TBuildIndex::StoredContentsPlaces() const
{
    for (const SourcePage& page : pages_) {
        if (page.pageName != kContentsEntryName)
            continue;
        try {
            if (const auto stored = ParseStoredContents(page.load()))
                return TContentsPlaces(stored->entries);
        } catch (const std::exception&) {
            // Named when it is packed; a reader finds it unreadable too and reads the home page.
        }
        return std::nullopt;
    }
    return std::nullopt;
}

void TBuildIndex::Write(TBookStreamWriter& writer, int level, unsigned threads)
{
    // Only the contents the book keeps: those a reader gets from its home page are left to it.
    const std::optional<TContentsPlaces> places = StoredContentsPlaces();
    const auto entries = StoredIndexEntries(index_.StoredImage(repeated_, places ? &*places : nullptr));
    RunOrdered(
        entries.size(), threads, std::size_t { threads } * 2,
        [&](std::size_t i) { return CompressPageBody(entries[i].second, level); },
        [&](std::size_t i, std::string&& body) { writer.AddRecord(entries[i].first, body); });
}
