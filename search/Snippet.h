#pragma once

#include "search/SearchIndex.h"

#include <cstdint>
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

// Whether the text holds every term, its words together and in order.
bool HoldsEvery(const TIndexTokenizer& tokenizer, std::string_view text, const std::vector<SnippetTerm>& terms);

// Where a snippet of the text should start: the number of the first word of the first place where
// the most of the terms stand within a few words of each other; 0 when it holds none of them.
int64_t BestPlace(const TIndexTokenizer& tokenizer, std::string_view text, const std::vector<SnippetTerm>& terms);

// The words of a page's text from word `from` on, a snippet's worth, with the query's matches
// marked.
std::vector<SnippetPiece> MakeSnippet(
    const TIndexTokenizer& tokenizer, std::string_view text, int64_t from, const std::vector<SnippetTerm>& terms);

// Words shown before the place where the matches are.
inline constexpr int64_t kSnippetLeadTokens = 3;
// Matches closer than this many words count as one place.
inline constexpr int64_t kPlaceTokens = 12;
