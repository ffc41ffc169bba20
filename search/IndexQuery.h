#pragma once

#include "search/Fts5Functions.h"
#include "search/SearchQuery.h"

#include <string>
#include <vector>

class TIndexTokenizer;

// A query as the index looks it up: each term turned into the words the index keeps (a run such as
// "pg_hba.conf" into its joined word, ideographs into their pairs, a phrase into its words), every
// word a quoted string of its own that the index tokenizes back into that word alone.
struct IndexQuery {
    std::string expression; // empty when no term holds a word
    TQueryShape shape;
    std::string prefix; // the last word, when it is looked up as a prefix ("prefix"*)
    // Terms that are phrases of several words: the index finds pages holding their words, and the
    // pages' text tells whether the words stand together.
    std::vector<std::string> phrases;
};

// `words` is the index's tokenizer without stemming: the index stems what it is given.
IndexQuery IndexQueryOf(const TIndexTokenizer& words, const SearchQuery& query);

// The query with its prefix looked up as any one of `completions` (whole words as the index holds
// them, `typed` first among them when the index holds it) instead: an index finds a few whole
// words faster than a prefix.
void CompleteLastWord(IndexQuery& lookup, const std::vector<std::string>& completions, const std::string& typed);

// The query with its prefix looked up as the whole word it is.
void KeepLastWordWhole(IndexQuery& lookup);
