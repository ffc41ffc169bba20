#pragma once

#include "search/ContentsPlaces.h"
#include "search/RepeatedText.h"
#include "search/SearchIndex.h"
#include "sources/SourcePage.h"

#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class TBookStreamWriter;

// The search index `build` keeps in the book, made from the pages as they are packed: each page's
// text is taken on the thread that compresses it, and its words go into the index in page order.
class TBuildIndex {
public:
    // Learns the text repeated on many of the pages from a sample of them first. The pages named
    // in `leftOut` (stored names, letter case ignored) are packed but not searched: pages that
    // only lead to others, such as an EPUB's contents pages.
    explicit TBuildIndex(const std::vector<SourcePage>& pages, const std::vector<std::string>& leftOut = {});

    // Called on a packing thread with page `i`'s bytes.
    void Prepare(std::size_t i, const std::string& content);
    // Called in page order, after Prepare for the same page.
    void Add(std::size_t i);
    // Writes the index's entries (StoredIndex.h) with the writer, compressed at `level` on
    // `threads` threads; with the contents the book keeps among its pages, each page's place in
    // them (StoredPlaces.h).
    void Write(TBookStreamWriter& writer, int level, unsigned threads);

private:
    std::optional<TContentsPlaces> StoredContentsPlaces() const;

    const std::vector<SourcePage>& pages_;
    std::unordered_set<std::string> names_; // every page's name
    std::unordered_set<std::string> leftOut_; // folded names of the pages not searched
    TRepeatedText repeated_;
    TSearchIndex index_;
    std::mutex lock_;
    std::unordered_map<std::size_t, PreparedPage> prepared_; // under lock_, until added
};
