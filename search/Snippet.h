#pragma once

#include "search/SearchIndex.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class TIndexTokenizer;

// A query term as the index sees it: its folded tokens, which must stand together in order, the
// last one matched as a prefix when `prefix` is set.
struct SnippetTerm {
    std::vector<std::string> tokens;
    bool prefix = false;
};

std::vector<SnippetTerm> SnippetTerms(const TIndexTokenizer& tokenizer, const SearchQuery& query);

// A page's text is kept in blocks of a few kilobytes that start at a known token, so that a
// snippet reads only the block where its words are.
struct TextBlock {
    int64_t firstToken = 0;
    std::size_t begin = 0; // byte range in the page's text
    std::size_t end = 0;
};
// `onToken`, when given, hears every folded token in order, joined words too (BookTokenizer.h):
// the same pass serves the index.
std::vector<TextBlock> SplitIntoBlocks(const TIndexTokenizer& tokenizer, std::string_view text,
    const std::function<void(std::string_view folded, bool joined)>& onToken = {});

// Consecutive blocks of a page's text.
struct TextStretch {
    std::string text;
    int64_t firstToken = 0;
    bool endsPage = true; // no text follows
};

// Whether the text holds every term, its words together and in order.
bool HoldsEvery(const TIndexTokenizer& tokenizer, std::string_view text, const std::vector<SnippetTerm>& terms);

// Where a snippet of the stretch should start: the first word of the first place where the most of
// the terms stand within a few words of each other; its first word when it holds none of them.
int64_t BestPlace(const TIndexTokenizer& tokenizer, const TextStretch& stretch, const std::vector<SnippetTerm>& terms);

// The words of `stretch` from token `from` on, a snippet's worth, with the query's matches marked.
// `ranOut` tells whether the stretch ended before a snippet's worth of words.
std::vector<SnippetPiece> MakeSnippet(const TIndexTokenizer& tokenizer, const TextStretch& stretch, int64_t from,
    const std::vector<SnippetTerm>& terms, bool* ranOut);

// Words shown before the place where the matches are.
inline constexpr int64_t kSnippetLeadTokens = 3;
// Matches closer than this many words count as one place.
inline constexpr int64_t kPlaceTokens = 12;
