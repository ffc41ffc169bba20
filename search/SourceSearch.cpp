#include "search/SourceSearch.h"

#include "common/BookText.h"
#include "html/PageKind.h"
#include "html/PageText.h"
#include "sources/BookFileSource.h"
#include "sources/ReadingPages.h"
#include "sources/ZimSource.h"

#include <unordered_set>

namespace {

// Any source's pages, read through Lookup and prepared on the taker's thread.
class TSourcePageFeeder : public TPageFeeder {
public:
    explicit TSourcePageFeeder(TBookSource& source)
        : source_(source)
        , names_(source.PageNames())
    {
        std::unordered_set<std::string> held;
        for (const std::string& name : names_)
            held.insert(FoldedBookText(name));
        const auto holds = [&](const std::string& name) { return held.contains(FoldedBookText(name)); };
        copies_.reserve(names_.size());
        std::vector<std::size_t> markup;
        for (std::size_t i = 0; i < names_.size(); ++i) {
            // A page that only leads to others (an EPUB's contents page, navigation and own table of
            // contents) would come high in every search for the titles it lists: it is left out like
            // a source's copy.
            copies_.push_back(IsSourceCopy(names_[i], holds) || IsLeftOutOfSearch(source, names_[i]));
            const PageKind kind = PageKindOf(names_[i]);
            if (kind == PageKind::Html || kind == PageKind::Xhtml)
                markup.push_back(i);
        }
        // The navigation an EPUB's or a site's pages repeat is learnt from a sample of them first.
        repeated_ = TRepeatedText::LearnFromSample(markup.size(), [&](std::size_t n) -> std::optional<PageText> {
            const std::string& name = names_[markup[n]];
            const TPageLookup page = source_.Lookup(name);
            if (!page.stored || !page.bytes)
                return std::nullopt;
            return ExtractPageText(name, *page.bytes);
        });
    }

    std::optional<PreparedEntry> Next() override
    {
        if (next_ >= Total())
            return std::nullopt;
        const int entry = next_++;
        PreparedEntry prepared { entry, PageIndexing::Skipped, std::nullopt };
        const std::string& name = names_[static_cast<std::size_t>(entry)];
        if (copies_[static_cast<std::size_t>(entry)])
            return prepared;
        try {
            const TPageLookup page = source_.Lookup(name);
            if (!page.stored)
                return prepared;
            if (!page.bytes) {
                prepared.outcome = PageIndexing::Damaged;
                return prepared;
            }
            std::optional<PageText> text = ExtractPageText(name, *page.bytes);
            if (!text)
                return prepared;
            repeated_.Strip(*text);
            if (!preparer_)
                preparer_.emplace();
            prepared.page = preparer_->Prepare(name, std::move(*text));
            prepared.outcome = PageIndexing::Indexed;
        } catch (const std::exception&) {
            prepared.outcome = PageIndexing::Damaged;
        }
        return prepared;
    }

    int Total() const override { return static_cast<int>(names_.size()); }
    std::string NameOf(int entry) const override { return names_.at(static_cast<std::size_t>(entry)); }

private:
    TBookSource& source_;
    const std::vector<std::string> names_;
    std::vector<bool> copies_; // whether each page only copies another's source or navigates
    TRepeatedText repeated_;
    std::optional<TPagePreparer> preparer_;
    int next_ = 0;
};

std::vector<SnippetPiece> PiecesOf(std::string_view marked)
{
    std::vector<SnippetPiece> pieces;
    bool matched = false;
    while (!marked.empty()) {
        const std::string_view mark = matched ? "</b>" : "<b>";
        const std::size_t at = marked.find(mark);
        if (at != 0)
            pieces.push_back({ std::string(marked.substr(0, at)), matched });
        if (at == std::string_view::npos)
            break;
        marked.remove_prefix(at + mark.size());
        matched = !matched;
    }
    return pieces;
}

} // namespace

const TBookReader* BookReaderOf(const TBookSource& source)
{
    const auto* book = dynamic_cast<const TBookFileSource*>(&source);
    return book != nullptr ? &book->Reader() : nullptr;
}

const TZimSource* ArchiveSearchOf(const TBookSource& source)
{
    const auto* zim = dynamic_cast<const TZimSource*>(&source);
    return zim != nullptr && zim->HasFullTextIndex() ? zim : nullptr;
}

std::string WhyNotSearchable(const TBookSource& source)
{
    const auto* zim = dynamic_cast<const TZimSource*>(&source);
    if (zim == nullptr || zim->HasFullTextIndex())
        return {};
    const uint64_t size = zim->ContentSize();
    if (size <= kMostIndexedArchiveBytes)
        return {};
    return "This archive has no full-text index of its own, and at " + std::to_string(size >> 20)
        + " MiB it is larger than the " + std::to_string(kMostIndexedArchiveBytes >> 20)
        + " MiB indexed here; its titles can still be looked up.";
}

std::unique_ptr<TSearchIndex> OpenStoredIndexOf(const TBookSource& source)
{
    const TBookReader* reader = BookReaderOf(source);
    return reader != nullptr ? TSearchIndex::OpenStored(*reader) : nullptr;
}

std::unique_ptr<TPageFeeder> PageFeederOf(TBookSource& source)
{
    if (const TBookReader* reader = BookReaderOf(source))
        return std::make_unique<TBookPageFeeder>(*reader);
    return std::make_unique<TSourcePageFeeder>(source);
}

void IndexAllPages(
    TPageFeeder& feeder, TSearchIndex& index, const std::function<void(int entry, PageIndexing outcome)>& onEntry)
{
    while (std::optional<PreparedEntry> prepared = feeder.Next()) {
        const PageIndexing outcome = AddToIndex(index, *prepared);
        if (onEntry)
            onEntry(prepared->entry, outcome);
    }
    index.Finish();
}

SearchResults ArchiveResults(const TZimSource& zim, std::string_view typed, int64_t offset, int64_t limit)
{
    SearchResults results;
    results.offset = offset;
    if (limit <= 0 || offset < 0)
        return results;
    const auto wanted = static_cast<int>(std::min<int64_t>(offset + limit, 10000));
    int64_t total = 0;
    results.queryCut = ParseSearchQuery(typed).cut;
    const std::vector<TZimHit> hits = zim.Search(UsedQueryText(typed), wanted, &total);
    results.total = std::max<int64_t>(total, static_cast<int64_t>(hits.size()));
    for (std::size_t i = static_cast<std::size_t>(offset); i < hits.size(); ++i) {
        SearchHit hit;
        hit.name = hits[i].page;
        hit.title = hits[i].title;
        hit.score = static_cast<double>(hits.size() - i);
        hit.snippet = PiecesOf(hits[i].snippet);
        results.hits.push_back(std::move(hit));
    }
    return results;
}

void AddSourceTitles(
    TTitleSuggestions& titles, const TBookSource& source, const TContents& contents, const TSearchIndex* index)
{
    if (index != nullptr) {
        for (auto& [name, title] : index->PageTitles()) {
            if (!TitleNamesNothing(title))
                titles.Add({ std::move(title), std::move(name), {}, TitleSuggestion::Kind::PageTitle });
        }
    }
    titles.AddContents(contents, TitleSuggestion::Kind::ContentsEntry);
    try {
        titles.AddContents(source.Keywords(), TitleSuggestion::Kind::Keyword);
    } catch (const std::exception&) {
        // A keyword index that cannot be read offers nothing.
    }
    titles.Finish();
}

std::vector<TitleSuggestion> SuggestTitles(
    const TBookSource& source, const TTitleSuggestions& titles, std::string_view typed, std::size_t limit)
{
    const auto* zim = dynamic_cast<const TZimSource*>(&source);
    if (zim == nullptr || !zim->HasTitleIndex())
        return titles.Suggest(typed, limit);
    std::vector<TZimHit> hits;
    try {
        hits = zim->Suggest(UsedQueryText(typed), static_cast<int>(limit));
    } catch (const std::exception&) {
        // A damaged title index: the contents' titles instead, from now on.
        return titles.Suggest(typed, limit);
    }
    std::vector<TitleSuggestion> out;
    for (TZimHit& hit : hits)
        out.push_back({ std::move(hit.title), std::move(hit.page), {}, TitleSuggestion::Kind::PageTitle });
    return out;
}
