#include "search/SearchQuery.h"

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

SearchQuery ParseSearchQuery(std::string_view typed, LastWord last)
{
    SearchQuery query;
    std::unordered_set<std::string_view> seen;
    std::vector<std::string> parts;
    std::size_t lastWord = std::string::npos; // index in parts of a bare word at the very end
    for (std::size_t i = 0; i < typed.size();) {
        if (IsTermBlank(typed[i])) {
            ++i;
            continue;
        }
        std::string_view term;
        bool phrase = false;
        if (typed[i] == '"') {
            const std::size_t close = typed.find('"', i + 1);
            const std::size_t end = close == std::string_view::npos ? typed.size() : close;
            term = typed.substr(i + 1, end - i - 1);
            i = close == std::string_view::npos ? typed.size() : close + 1;
            phrase = true;
        } else {
            std::size_t end = i;
            while (end < typed.size() && !IsTermBlank(typed[end]) && typed[end] != '"')
                ++end;
            term = typed.substr(i, end - i);
            i = end;
        }
        if (!HasWordCharacter(term) || !seen.insert(term).second)
            continue;
        if (query.terms.size() == kMostQueryTerms)
            break;
        query.terms.emplace_back(term);
        parts.push_back(QuotedTerm(term));
        lastWord = !phrase && i == typed.size() ? parts.size() - 1 : std::string::npos;
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
