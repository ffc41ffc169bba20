#pragma once

#include <string_view>

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
