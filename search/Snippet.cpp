#include "search/Snippet.h"

#include "search/BookTokenizer.h"
#include "search/IndexTokenizer.h"

#include <algorithm>

namespace {

// A snippet shows 16 words; an ideograph, a word of its own in the index, counts as a third of one,
// so that Chinese and Japanese snippets show as much text as others.
constexpr int kWordWeight = 3;
constexpr int kSnippetWeight = 16 * kWordWeight;
// A block ends at the first token end past this many bytes.
constexpr std::size_t kBlockBytes = 1024;
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

std::vector<TextBlock> SplitIntoBlocks(const TIndexTokenizer& tokenizer, std::string_view text,
    const std::function<void(std::string_view folded, bool joined)>& onToken)
{
    std::vector<TextBlock> blocks;
    TextBlock current;
    int64_t tokens = 0;
    tokenizer.TokenizeWithJoined(text, [&](std::string_view folded, int, int end, bool joined) {
        if (onToken)
            onToken(folded, joined);
        if (joined)
            return true;
        ++tokens;
        const auto at = static_cast<std::size_t>(end);
        if (at - current.begin >= kBlockBytes) {
            current.end = at;
            blocks.push_back(current);
            current = TextBlock { tokens, at, at };
        }
        return true;
    });
    current.end = text.size();
    if (current.end > current.begin)
        blocks.push_back(current);
    return blocks;
}

bool HoldsEvery(const TIndexTokenizer& tokenizer, std::string_view text, const std::vector<SnippetTerm>& terms)
{
    std::size_t longest = 1;
    for (const SnippetTerm& term : terms)
        longest = std::max(longest, term.tokens.size());
    std::vector<Token> recent;
    std::vector<bool> found(terms.size(), false);
    std::size_t missing = terms.size();
    tokenizer.Tokenize(text, [&](std::string_view folded, int, int) {
        if (recent.size() == longest)
            recent.erase(recent.begin());
        recent.push_back({ std::string(folded), 0, 0 });
        for (std::size_t t = 0; t < terms.size(); ++t) {
            const std::size_t count = terms[t].tokens.size();
            if (!found[t] && count <= recent.size() && MatchesAt(terms[t], recent, recent.size() - count)) {
                found[t] = true;
                --missing;
            }
        }
        return missing > 0;
    });
    return missing == 0;
}

int64_t BestPlace(const TIndexTokenizer& tokenizer, const TextStretch& stretch, const std::vector<SnippetTerm>& terms)
{
    // The last few words, enough for the longest term, and where each term was last seen.
    std::vector<Token> recent;
    std::size_t longest = 1;
    for (const SnippetTerm& term : terms)
        longest = std::max(longest, term.tokens.size());
    std::vector<int64_t> lastSeen(terms.size(), -1);
    int64_t number = stretch.firstToken;
    int64_t bestPlace = stretch.firstToken;
    std::size_t best = 0;
    tokenizer.Tokenize(stretch.text, [&](std::string_view folded, int, int) {
        if (recent.size() == longest)
            recent.erase(recent.begin());
        recent.push_back({ std::string(folded), 0, 0 });
        for (std::size_t t = 0; t < terms.size(); ++t) {
            const std::size_t count = terms[t].tokens.size();
            if (count <= recent.size() && MatchesAt(terms[t], recent, recent.size() - count))
                lastSeen[t] = number - static_cast<int64_t>(count) + 1;
        }
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

std::vector<SnippetPiece> MakeSnippet(const TIndexTokenizer& tokenizer, const TextStretch& stretch, int64_t from,
    const std::vector<SnippetTerm>& terms, bool* ranOut)
{
    std::vector<Token> tokens; // from `from` on, one more than shown when there are more
    int64_t number = stretch.firstToken;
    const std::string_view text = stretch.text;
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
    if (ranOut != nullptr)
        *ranOut = !full;
    const bool more = full || !stretch.endsPage;
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
    if (more)
        append(kEllipsis, false);
    return pieces;
}
