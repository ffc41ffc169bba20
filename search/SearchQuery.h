#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// What a person typed, turned into a full-text query that cannot be malformed.
struct SearchQuery {
    // The index's query: every term is a quoted string, so no character the person typed acts as
    // query syntax; terms must all match. Empty when nothing searchable was typed.
    std::string expression;
    // The terms as typed, phrases without their quotes, in order: what a page view highlights.
    std::vector<std::string> terms;
    bool lastTermIsPrefix = false; // the last term is a word still being typed
    // Words past the bounds below were left out: the query searched for is shorter than typed.
    bool cut = false;
};

// How the last word of a query matches: as a whole word (a query given whole, on Enter, on the
// command line or in a URL) or also as the start of a longer word (a word still being typed).
enum class LastWord { Whole, Prefix };

// Longest query taken, in bytes; a longer one is refused by those who take queries.
inline constexpr std::size_t kMostQueryBytes = 1 << 20;
// Distinct terms of a query used at most; terms past them are left out. A term typed twice counts
// once, so a query's cost grows with its length, not with the square of it.
inline constexpr std::size_t kMostQueryTerms = 32;
// Words of a query used at most, a phrase's words each counting, and every ideograph (the index
// keeps each as a word): a phrase stops at the word that would pass them, and the words after it
// are left out. Every look-up, phrase check and snippet then costs at most this many words a page,
// however long the query.
inline constexpr std::size_t kMostQueryWords = 64;
// Bytes of one word used at most (the longest run the index keeps joined); the rest is left out.
inline constexpr std::size_t kMostQueryWordBytes = 128;

// "quoted phrases" stay phrases (an unclosed quote runs to the end), other words are matched as
// words; a word with inner punctuation ("3.11", "e-mail") matches its parts next to each other, so
// numbers and versions are found as written. With LastWord::Prefix the last word also matches
// longer words unless a blank follows it, so results come while it is being typed.
SearchQuery ParseSearchQuery(std::string_view typed, LastWord last = LastWord::Whole);

// The query as text of the same syntax, cut as ParseSearchQuery cuts it (SearchQuery::cut): for
// an index of another kind (a ZIM's own). The text as typed when nothing is cut.
std::string UsedQueryText(std::string_view typed);

// The blanks that part a query's terms. Words with anything else between them are one term, and
// the index's tokenizer keeps them as one run (BookTokenizer.h).
bool IsTermBlank(char c);

// The term as one quoted string of the index's query language: no character in it acts as syntax.
std::string QuotedTerm(std::string_view term);
