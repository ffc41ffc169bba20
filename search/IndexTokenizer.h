#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct Fts5Tokenizer;
struct fts5_tokenizer;

// The index's own tokenizer (case folded, accents stripped, English words reduced to their stems
// so that "keys" finds "key"), used outside the index to find the words a query matched in a
// page's text, so that snippets mark exactly what the index matched. Unstemmed, it makes the
// tokens a page hands the index ready made: the index stems them as they come in.
class TIndexTokenizer {
public:
    enum class Stemming { Stemmed, Unstemmed };
    // Raises Exception when the connection has no FTS5 tokenizer.
    explicit TIndexTokenizer(sqlite3* db, Stemming stemming = Stemming::Stemmed);
    ~TIndexTokenizer();
    TIndexTokenizer(const TIndexTokenizer&) = delete;
    TIndexTokenizer& operator=(const TIndexTokenizer&) = delete;

    // Calls `token` with each folded word of a page's text and its byte range in `text` until it
    // returns false. Joined words (BookTokenizer.h) are left out: these are the text's words in order.
    using TokenFunction = std::function<bool(std::string_view folded, int start, int end)>;
    void Tokenize(std::string_view text, const TokenFunction& token) const;
    // The same with the joined words too, each right after the word whose place it takes: every
    // token the index keeps of the text.
    using IndexTokenFunction = std::function<bool(std::string_view folded, int start, int end, bool joined)>;
    void TokenizeWithJoined(std::string_view text, const IndexTokenFunction& token) const;
    // The words a query's term is looked up as: one for a word or a run joined by punctuation, the
    // pairs of a run of ideographs, the words of a phrase.
    std::vector<std::string> QueryTokens(std::string_view term) const;

private:
    std::unique_ptr<fts5_tokenizer> api_; // the tokenizer module's functions, copied from FTS5
    Fts5Tokenizer* tokenizer_ = nullptr;
};

// The tokenizer's arguments, shared with the index's schema.
inline constexpr const char* kTokenizerArguments[] = { "remove_diacritics", "2" };

// The index's tokenizer with a connection of its own, for work done away from any index: pages
// prepared on threads of their own, titles matched as they are typed.
class TOwnTokenizer {
public:
    // Raises Exception: "Cannot make WHAT: out of memory", or as TIndexTokenizer does.
    TOwnTokenizer(TIndexTokenizer::Stemming stemming, std::string_view what);
    ~TOwnTokenizer();
    TOwnTokenizer(const TOwnTokenizer&) = delete;
    TOwnTokenizer& operator=(const TOwnTokenizer&) = delete;

    const TIndexTokenizer* operator->() const { return tokenizer_.get(); }
    const TIndexTokenizer& operator*() const { return *tokenizer_; }

private:
    sqlite3* db_ = nullptr;
    std::unique_ptr<TIndexTokenizer> tokenizer_; // uses db_, closed after it goes
};
