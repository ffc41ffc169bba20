#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

// Registers the index's tokenizer, "book", on the connection, once: SQLite's unicode61 (taking the
// same arguments) with every Han, Hiragana and Katakana character a word of its own, and words
// joined by punctuation alone ("pg_hba.conf") or ideographs side by side indexed joined as well, at
// the place of their last part. The index keeps no word positions, so a run of words is found
// through its joined forms: a query's run is turned into its joined word (ideographs into their
// pairs) alone. Those scripts leave no blanks between words, so unicode61 alone makes a whole
// sentence one word and nothing inside it could be found. Raises Exception without FTS5.
void RegisterBookTokenizer(sqlite3* db);

inline constexpr const char* kBookTokenizerName = "book";

// What stands between the parts of a run's joined word: a separator to the tokenizer, so a joined
// word tokenized again (as a query is, after it was turned into words) comes back the same.
inline constexpr char kJoinedWordSeparator = '\x1F';

// Whether a token of the index is one ideograph.
bool IsIdeograph(std::string_view token);

// The tokens of one text, kept while that text is prepared on another thread.
struct TokenList {
    const char* text = nullptr; // the text they came from, where it is when they are replayed
    std::size_t size = 0;
    std::string tokens; // one after another
    std::vector<uint32_t> ends; // where each ends in `tokens`
    std::vector<bool> joined; // whether each is a run's joined word, at the place of the one before

    void Append(std::string_view token, bool isJoined)
    {
        tokens.append(token);
        ends.push_back(static_cast<uint32_t>(tokens.size()));
        joined.push_back(isJoined);
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
