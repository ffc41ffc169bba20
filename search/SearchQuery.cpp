#include "search/SearchQuery.h"

#include "search/BookTokenizer.h"

#include <algorithm>
#include <cctype>
#include <unordered_set>

namespace {

// The index splits text at everything but letters and digits; a term with none of them (ASCII
// punctuation alone) would be an empty phrase, so it is dropped. Any non-ASCII byte may belong to
// a letter.
bool HasWordCharacter(std::string_view term)
{
    for (char c : term) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 || std::isalnum(byte))
            return true;
    }
    return false;
}

} // namespace

bool IsTermBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

std::string QuotedTerm(std::string_view term)
{
    std::string out = "\"";
    for (char c : term) {
        out += c;
        if (c == '"')
            out += '"';
    }
    out += '"';
    return out;
}

namespace {

// The word's characters that fit in `words` more words and kMostQueryWordBytes, and how many
// words they count for: an ideograph is a word of its own.
std::pair<std::string_view, std::size_t> FittingPart(std::string_view word, std::size_t words)
{
    std::size_t used = 0;
    std::size_t ideographs = 0;
    bool other = false; // a character that is no ideograph: the rest counts as one word more
    while (used < word.size()) {
        std::size_t length = 1;
        while (used + length < word.size() && (static_cast<unsigned char>(word[used + length]) & 0xC0) == 0x80)
            ++length;
        const bool ideograph = IsIdeograph(word.substr(used, length));
        const std::size_t counted = ideographs + (ideograph ? 1 : 0) + (other || !ideograph ? 1 : 0);
        if (used + length > kMostQueryWordBytes || counted > words)
            break;
        ideographs += ideograph ? 1 : 0;
        other = other || !ideograph;
        used += length;
    }
    return { word.substr(0, used), ideographs + (other ? 1 : 0) };
}

} // namespace

SearchQuery ParseSearchQuery(std::string_view typed, LastWord last)
{
    SearchQuery query;
    std::unordered_set<std::string> seen;
    std::vector<std::string> parts;
    std::size_t lastWord = std::string::npos; // index in parts of a bare word at the very end
    std::size_t wordsLeft = kMostQueryWords;
    for (std::size_t i = 0; i < typed.size();) {
        if (IsTermBlank(typed[i])) {
            ++i;
            continue;
        }
        std::string_view written;
        bool phrase = false;
        if (typed[i] == '"') {
            const std::size_t close = typed.find('"', i + 1);
            const std::size_t end = close == std::string_view::npos ? typed.size() : close;
            written = typed.substr(i + 1, end - i - 1);
            i = close == std::string_view::npos ? typed.size() : close + 1;
            phrase = true;
        } else {
            std::size_t end = i;
            while (end < typed.size() && !IsTermBlank(typed[end]) && typed[end] != '"')
                ++end;
            written = typed.substr(i, end - i);
            i = end;
        }
        if (!HasWordCharacter(written))
            continue;
        // The term's words while they fit; a term cut short is written with single blanks.
        std::string term;
        bool cut = false;
        std::size_t termWords = 0;
        for (std::size_t at = 0; at < written.size();) {
            if (IsTermBlank(written[at])) {
                ++at;
                continue;
            }
            std::size_t end = at;
            while (end < written.size() && !IsTermBlank(written[end]))
                ++end;
            const std::string_view word = written.substr(at, end - at);
            const auto [part, counted] = FittingPart(word, wordsLeft - termWords);
            if (!part.empty()) {
                term += (term.empty() ? "" : " ") + std::string(part);
                termWords += counted;
            }
            if (part.size() < word.size()) {
                cut = true;
                break;
            }
            at = end;
        }
        if (!cut)
            term = written;
        if (!HasWordCharacter(term) || seen.contains(term)) {
            query.cut = query.cut || cut;
            if (cut)
                break;
            continue;
        }
        if (query.terms.size() == kMostQueryTerms) {
            query.cut = true;
            break;
        }
        seen.insert(term);
        wordsLeft -= termWords;
        parts.push_back(QuotedTerm(term));
        query.terms.push_back(std::move(term));
        lastWord = !phrase && !cut && i == typed.size() ? parts.size() - 1 : std::string::npos;
        if (cut) {
            query.cut = true;
            break;
        }
    }
    if (lastWord != std::string::npos && last == LastWord::Prefix) {
        parts[lastWord] += '*';
        query.lastTermIsPrefix = true;
    }
    for (const std::string& part : parts) {
        if (!query.expression.empty())
            query.expression += ' ';
        query.expression += part;
    }
    return query;
}

std::string UsedQueryText(std::string_view typed)
{
    const SearchQuery query = ParseSearchQuery(typed);
    if (!query.cut)
        return std::string(typed);
    std::string text;
    for (const std::string& term : query.terms) {
        const bool phrase = std::any_of(term.begin(), term.end(), IsTermBlank);
        text += (text.empty() ? "" : " ") + (phrase ? "\"" + term + "\"" : term);
    }
    return text;
}
