#include "search/IndexQuery.h"

#include "search/BookTokenizer.h"
#include "search/IndexTokenizer.h"

IndexQuery IndexQueryOf(const TIndexTokenizer& words, const SearchQuery& query)
{
    IndexQuery lookup;
    struct Term {
        std::vector<std::string> tokens; // as the index is asked for them
        bool plainWord = false; // one word as written: no run, no ideograph, no phrase
        bool prefix = false;
    };
    std::vector<Term> terms;
    for (std::size_t i = 0; i < query.terms.size(); ++i) {
        const std::string& text = query.terms[i];
        Term term;
        for (std::string& token : words.QueryTokens(text)) {
            // A word that would not come back alone would make a phrase, which the index cannot look up.
            const std::vector<std::string> again = words.QueryTokens(token);
            if (again.size() == 1 && again.front() == token)
                term.tokens.push_back(std::move(token));
        }
        if (term.tokens.empty())
            continue;
        int written = 0; // its words as a page's text would count them
        words.Tokenize(text, [&](std::string_view, int, int) {
            ++written;
            return true;
        });
        lookup.shape.queryWords += written;
        term.plainWord = written == 1 && term.tokens.size() == 1 && !IsIdeograph(term.tokens.front());
        term.prefix = query.lastTermIsPrefix && i + 1 == query.terms.size();
        if (text.find(' ') != std::string::npos || text.find('\t') != std::string::npos)
            lookup.phrases.push_back(text);
        terms.push_back(std::move(term));
    }
    const auto add = [&](const std::string& part, int term) {
        if (!lookup.expression.empty())
            lookup.expression += " AND ";
        lookup.expression += part;
        lookup.shape.termOfPhrase.push_back(term);
    };
    // Two words typed one after the other may name one thing written joined ("typing protocol",
    // typing.Protocol): pages holding them so rank higher, and hold the first word either way.
    for (std::size_t i = 0; i + 1 < terms.size(); ++i) {
        if (!terms[i].plainWord || !terms[i + 1].plainWord || terms[i + 1].prefix)
            continue;
        const std::string& first = terms[i].tokens.front();
        lookup.expression += lookup.expression.empty() ? "(" : " AND (";
        lookup.expression += QuotedTerm(first + kJoinedWordSeparator + terms[i + 1].tokens.front()) + " OR "
            + QuotedTerm(first) + ")";
        lookup.shape.termOfPhrase.push_back(TQueryShape::kJoinedWords);
        lookup.shape.termOfPhrase.push_back(TQueryShape::kNoTerm);
    }
    for (const Term& term : terms) {
        for (const std::string& token : term.tokens)
            add(QuotedTerm(token), lookup.shape.terms);
        if (term.prefix) {
            lookup.expression += '*';
            lookup.prefix = term.tokens.back();
        }
        ++lookup.shape.terms;
    }
    return lookup;
}

void CompleteLastWord(IndexQuery& lookup, const std::vector<std::string>& completions, const std::string& typed)
{
    if (completions.empty() || lookup.prefix.empty())
        return;
    const std::size_t lastPart = QuotedTerm(lookup.prefix).size() + 1; // and its '*'
    // What comes before it is nothing or ends with " AND ".
    lookup.expression.resize(lookup.expression.size() - lastPart);
    lookup.expression += "(";
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

void KeepLastWordWhole(IndexQuery& lookup)
{
    if (lookup.prefix.empty())
        return;
    // The prefix's '*' ends the expression.
    lookup.expression.pop_back();
    lookup.prefix.clear();
}
