#include "search/IndexQuery.h"

#include "search/IndexTokenizer.h"

IndexQuery IndexQueryOf(const TIndexTokenizer& words, const SearchQuery& query)
{
    IndexQuery lookup;
    for (std::size_t i = 0; i < query.terms.size(); ++i) {
        const std::string& term = query.terms[i];
        std::vector<std::string> tokens;
        for (std::string& token : words.QueryTokens(term)) {
            // A word that would not come back alone would make a phrase, which the index cannot look up.
            const std::vector<std::string> again = words.QueryTokens(token);
            if (again.size() == 1 && again.front() == token)
                tokens.push_back(std::move(token));
        }
        if (tokens.empty())
            continue;
        const bool prefix = query.lastTermIsPrefix && i + 1 == query.terms.size();
        for (const std::string& token : tokens) {
            if (!lookup.expression.empty())
                lookup.expression += ' ';
            lookup.expression += QuotedTerm(token);
            lookup.shape.termOfPhrase.push_back(lookup.shape.terms);
        }
        if (prefix) {
            lookup.expression += '*';
            lookup.prefix = tokens.back();
        }
        if (term.find(' ') != std::string::npos || term.find('\t') != std::string::npos)
            lookup.phrases.push_back(term);
        ++lookup.shape.terms;
    }
    return lookup;
}

void CompleteLastWord(IndexQuery& lookup, const std::vector<std::string>& completions, const std::string& typed)
{
    if (completions.empty() || lookup.prefix.empty())
        return;
    const std::size_t lastPart = QuotedTerm(lookup.prefix).size() + 1; // and its '*'
    lookup.expression.resize(lookup.expression.size() - lastPart);
    lookup.expression += lookup.expression.empty() ? "(" : "AND (";
    const int term = lookup.shape.termOfPhrase.back();
    lookup.shape.termOfPhrase.pop_back();
    lookup.shape.firstAlternative = static_cast<int>(lookup.shape.termOfPhrase.size());
    for (std::size_t i = 0; i < completions.size(); ++i) {
        lookup.expression += (i > 0 ? " OR " : "") + QuotedTerm(completions[i]);
        lookup.shape.termOfPhrase.push_back(term);
    }
    lookup.expression += ")";
    lookup.shape.typedWordFirst = completions.front() == typed;
    lookup.prefix.clear();
}
