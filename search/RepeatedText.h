#pragma once

#include "html/PageText.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// Text that repeats on many pages of one book: navigation bars, headers, footers, "Prev Up Home
// Next" tables. It is learnt from a sample of the book's pages first, then left out of every
// page's body, so that it neither matches a query nor shows in a snippet. A block of text repeated
// on many pages goes, and so does every element whose blocks are mostly such (a navigation table
// that also names the previous and next pages).
class TRepeatedText {
public:
    // Pages sampled at most, spread over the book.
    static constexpr int kSamplePages = 64;

    TRepeatedText() = default;
    // Text learnt before, as Hashes gave it.
    explicit TRepeatedText(const std::vector<uint64_t>& hashes)
        : repeated_(hashes.begin(), hashes.end())
    {
    }
    // The repeated blocks' hashes (FNV-1a of their text).
    const std::unordered_set<uint64_t>& Hashes() const { return repeated_; }

    void Learn(const PageText& page);
    // Ends learning: blocks seen on enough of the pages learnt from count as repeated.
    void Settle();
    // Takes the repeated text out of the page's body; its blocks and elements are dropped either way.
    void Strip(PageText& page) const;
    bool Empty() const { return repeated_.empty(); }

    // Learns from up to kSamplePages of `count` pages spread evenly over them; `textOf(i)` reads
    // page i (nothing for one that cannot be read or holds no text).
    static TRepeatedText LearnFromSample(
        std::size_t count, const std::function<std::optional<PageText>(std::size_t)>& textOf);

private:
    std::unordered_map<uint64_t, int> pagesWith_; // block text hash, pages that hold it
    std::unordered_set<uint64_t> repeated_;
    int pages_ = 0;
};
