#pragma once

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
};

// "quoted phrases" stay phrases (an unclosed quote runs to the end), other words are matched as
// words; a word with inner punctuation ("3.11", "e-mail") matches its parts next to each other, so
// numbers and versions are found as written. The last word is matched as a prefix unless a blank
// follows it, so results come while it is being typed.
SearchQuery ParseSearchQuery(std::string_view typed);

// The query's expression with its last word, a prefix, matched as any one of `completions` (whole
// words as the index holds them) instead: an index finds a few whole words faster than a prefix.
// Nothing when there are no completions. Only for a query whose last term is a prefix.
std::string ExpressionWithCompletions(const SearchQuery& query, const std::vector<std::string>& completions);
