#include "search/Snippet.h"

#include "search/BookTokenizer.h"
#include "search/IndexTokenizer.h"

#include <algorithm>

namespace {

// A snippet shows 16 words; an ideograph, a word of its own in the index, counts as a third of one,
// so that Chinese and Japanese snippets show as much text as others.
constexpr int kWordWeight = 3;
constexpr int kSnippetWeight = 16 * kWordWeight;
constexpr std::string_view kEllipsis = "\xE2\x80\xA6";

struct Token {
    std::string folded;
    int start = 0;
    int end = 0;
};

bool MatchesAt(const SnippetTerm& term, const std::vector<Token>& tokens, std::size_t first)
{
    const std::size_t count = term.tokens.size();
    if (count == 0 || first + count > tokens.size())
        return false;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& want = term.tokens[i];
        const std::string& have = tokens[first + i].folded;
        const bool prefixOnly = term.prefix && i + 1 == count;
        if (prefixOnly ? !have.starts_with(want) : have != want)
            return false;
    }
    return true;
}

// Finds the terms in a text whose words come one at a time: the last few words, enough for the
// longest term, are kept in a ring and matched against each term as a word comes, so that a word
// costs the same however long the terms are.
class TTermMatcher {
public:
    explicit TTermMatcher(const std::vector<SnippetTerm>& terms)
        : terms_(terms)
    {
        std::size_t longest = 1;
        for (const SnippetTerm& term : terms)
            longest = std::max(longest, term.tokens.size());
        recent_.resize(longest);
    }

    // Takes the next word and calls matched(t) for each term t whose words end with it.
    template <typename Matched> void Take(std::string_view folded, const Matched& matched)
    {
        recent_[taken_ % recent_.size()].assign(folded);
        ++taken_;
        for (std::size_t t = 0; t < terms_.size(); ++t) {
            if (EndsHere(terms_[t]))
                matched(t);
        }
    }

private:
    bool EndsHere(const SnippetTerm& term) const
    {
        const std::size_t count = term.tokens.size();
        if (count == 0 || count > taken_)
            return false;
        const std::size_t first = taken_ - count;
        for (std::size_t i = 0; i < count; ++i) {
            const std::string& want = term.tokens[i];
            const std::string& have = recent_[(first + i) % recent_.size()];
            const bool prefixOnly = term.prefix && i + 1 == count;
            if (prefixOnly ? !have.starts_with(want) : have != want)
                return false;
        }
        return true;
    }

    const std::vector<SnippetTerm>& terms_;
    std::vector<std::string> recent_; // word n at n % size
    std::size_t taken_ = 0;
};

} // namespace

std::vector<SnippetTerm> SnippetTerms(const TIndexTokenizer& tokenizer, const SearchQuery& query)
{
    std::vector<SnippetTerm> terms;
    for (std::size_t i = 0; i < query.terms.size(); ++i) {
        SnippetTerm term;
        tokenizer.Tokenize(query.terms[i], [&](std::string_view folded, int, int) {
            term.tokens.emplace_back(folded);
            return true;
        });
        term.prefix = query.lastTermIsPrefix && i + 1 == query.terms.size();
        if (!term.tokens.empty())
            terms.push_back(std::move(term));
    }
    return terms;
}

bool HoldsEvery(const TIndexTokenizer& tokenizer, std::string_view text, const std::vector<SnippetTerm>& terms)
{
    TTermMatcher matcher(terms);
    std::vector<bool> found(terms.size(), false);
    std::size_t missing = terms.size();
    tokenizer.Tokenize(text, [&](std::string_view folded, int, int) {
        matcher.Take(folded, [&](std::size_t t) {
            if (!found[t]) {
                found[t] = true;
                --missing;
            }
        });
        return missing > 0;
    });
    return missing == 0;
}

int64_t BestPlace(const TIndexTokenizer& tokenizer, std::string_view text, const std::vector<SnippetTerm>& terms)
{
    TTermMatcher matcher(terms);
    std::vector<int64_t> lastSeen(terms.size(), -1); // where each term was last seen
    int64_t number = 0;
    int64_t bestPlace = 0;
    std::size_t best = 0;
    tokenizer.Tokenize(text, [&](std::string_view folded, int, int) {
        matcher.Take(
            folded, [&](std::size_t t) { lastSeen[t] = number - static_cast<int64_t>(terms[t].tokens.size()) + 1; });
        // The terms seen within the last few words, and where the earliest of them starts.
        std::size_t near = 0;
        int64_t start = number;
        for (const int64_t seen : lastSeen) {
            if (seen >= 0 && seen + kPlaceTokens > number) {
                ++near;
                start = std::min(start, seen);
            }
        }
        if (near > best) {
            best = near;
            bestPlace = start;
        }
        ++number;
        return best < terms.size();
    });
    return bestPlace;
}

std::vector<SnippetPiece> MakeSnippet(
    const TIndexTokenizer& tokenizer, std::string_view text, int64_t from, const std::vector<SnippetTerm>& terms)
{
    std::vector<Token> tokens; // from `from` on
    int64_t number = 0;
    int weight = 0;
    bool full = false; // a token follows the words shown
    tokenizer.Tokenize(text, [&](std::string_view folded, int start, int end) {
        if (number++ < from)
            return true;
        if (weight >= kSnippetWeight) {
            full = true;
            return false;
        }
        tokens.push_back({ std::string(folded), start, end });
        weight += IsIdeograph(folded) ? 1 : kWordWeight;
        return true;
    });
    if (tokens.empty())
        return {};
    std::vector<bool> marked(tokens.size(), false);
    for (std::size_t first = 0; first < tokens.size(); ++first) {
        for (const SnippetTerm& term : terms) {
            if (MatchesAt(term, tokens, first))
                std::fill_n(marked.begin() + static_cast<std::ptrdiff_t>(first), term.tokens.size(), true);
        }
    }
    std::vector<SnippetPiece> pieces;
    const auto append = [&](std::string_view part, bool matched) {
        if (part.empty())
            return;
        if (!pieces.empty() && pieces.back().matched == matched)
            pieces.back().text.append(part);
        else
            pieces.push_back({ std::string(part), matched });
    };
    if (from > 0)
        append(kEllipsis, false);
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (i > 0)
            append(text.substr(tokens[i - 1].end, tokens[i].start - tokens[i - 1].end), false);
        append(text.substr(tokens[i].start, tokens[i].end - tokens[i].start), marked[i]);
    }
    // Punctuation right after the last word belongs with it ("ends.").
    const auto tail = static_cast<std::size_t>(tokens.back().end);
    const std::size_t punctuationEnd = std::min(text.find_first_not_of(".,;:!?)]\"'", tail), text.size());
    append(text.substr(tail, punctuationEnd - tail), false);
    if (full)
        append(kEllipsis, false);
    return pieces;
}
