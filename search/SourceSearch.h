#pragma once

#include "search/BookPageFeeder.h"
#include "search/ContentsPlaces.h"
#include "search/SearchIndex.h"
#include "search/TitleSuggestions.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TBookReader;
class TBookSource;
class TZimSource;

// How every kind of source is searched, the same way in the viewer, `ebook-pack search` and
// `serve`: a book file through the index it keeps (else one built in memory from its entries), a
// ZIM through the archive's own full-text index when it has one, and any other source through an
// index built in memory from its pages. Lookup runs on the page server's threads too, and every
// source answers it from several threads at once, so indexing may run beside the server.

// A ZIM without a full-text index of its own is indexed here only up to this many bytes of pages.
inline constexpr uint64_t kMostIndexedArchiveBytes = 256ULL * 1024 * 1024;

// The book file's reader behind a source, when the source is a book file.
const TBookReader* BookReaderOf(const TBookSource& source);
// The ZIM whose own full-text index answers for the source, when it has one.
const TZimSource* ArchiveSearchOf(const TBookSource& source);
// Why the source cannot be searched at all (a ZIM too large to index here, without an index of
// its own); empty when it can.
std::string WhyNotSearchable(const TBookSource& source);

// The index a book file keeps; nothing for other sources and books without one of this version.
// Raises Exception when it is damaged.
std::unique_ptr<TSearchIndex> OpenStoredIndexOf(const TBookSource& source);

// Feeds an index every page of the source: a book's entries prepared on threads of their own,
// other sources' pages read and prepared as they are asked for (copies of a page's source,
// "_sources/…txt", left out).
std::unique_ptr<TPageFeeder> PageFeederOf(TBookSource& source);

// Adds every page the feeder gives to the index and ends the build. `onEntry` hears each entry's
// outcome in order.
void IndexAllPages(
    TPageFeeder& feeder, TSearchIndex& index, const std::function<void(int entry, PageIndexing outcome)>& onEntry = {});

// Results from the archive's own index; its snippets' <b> marks become matched pieces. The words
// are cut as every index's are (SearchQuery::cut). Raises Exception when the index is damaged.
SearchResults ArchiveResults(const TZimSource& zim, std::string_view typed, int64_t offset, int64_t limit);

// The titles a source offers as suggestions, ended with Finish: its pages' titles as the index
// holds them (none when `index` is null), its contents entries (`contents`, as read from it) and
// its keywords. Raises Exception when a stored index's titles cannot be read.
void AddSourceTitles(
    TTitleSuggestions& titles, const TBookSource& source, const TContents& contents, const TSearchIndex* index);

// Suggestions for the words typed: from the archive's title index for a ZIM that has one (a damaged
// one is used no more), else from `titles`.
std::vector<TitleSuggestion> SuggestTitles(
    const TBookSource& source, const TTitleSuggestions& titles, std::string_view typed, std::size_t limit);
