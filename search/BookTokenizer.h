#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

// Registers the index's tokenizer, "book", on the connection, once: SQLite's unicode61 (taking the
// same arguments) with every Han, Hiragana and Katakana character a word of its own. Those scripts
// leave no blanks between words, so unicode61 alone makes a whole sentence one word and nothing
// inside it could be found; with a character a word, a query's characters match as a phrase of
// adjacent words, which finds a word wherever it is written. Raises Exception without FTS5.
void RegisterBookTokenizer(sqlite3* db);

inline constexpr const char* kBookTokenizerName = "book";

// Whether a token of the index is one ideograph.
bool IsIdeograph(std::string_view token);

// The tokens of one text, kept while that text is prepared on another thread.
struct TokenList {
    const char* text = nullptr; // the text they came from, where it is when they are replayed
    std::size_t size = 0;
    std::string tokens; // one after another
    std::vector<uint32_t> ends; // where each ends in `tokens`

    void Append(std::string_view token)
    {
        tokens.append(token);
        ends.push_back(static_cast<uint32_t>(tokens.size()));
    }
};

// While it lives, the "book" tokenizer on this thread hands FTS5 the list's tokens instead of
// tokenizing again, when it is given the list's own text to index.
class TTokenReplay {
public:
    explicit TTokenReplay(const TokenList& list);
    ~TTokenReplay();
    TTokenReplay(const TTokenReplay&) = delete;
    TTokenReplay& operator=(const TTokenReplay&) = delete;

private:
    const TokenList* previous_;
};
