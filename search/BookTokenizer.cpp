#include "search/BookTokenizer.h"

#include "common/Exception.h"
#include "common/Utf8.h"
#include "search/Fts5Functions.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string_view>
#include <vector>

namespace {

struct BookTokenizer {
    fts5_tokenizer words {}; // unicode61's functions
    Fts5Tokenizer* instance = nullptr;
};

using TokenCallback = int (*)(void*, int, const char*, int, int, int);

struct TokenizeContext {
    void* context;
    TokenCallback token;
    const char* text;
};

bool IsIdeographic(char32_t c)
{
    return (c >= 0x3040 && c <= 0x30FF) // Hiragana, Katakana
        || (c >= 0x31F0 && c <= 0x31FF) // Katakana phonetic extensions
        || (c >= 0x3400 && c <= 0x4DBF) // Han extension A
        || (c >= 0x4E00 && c <= 0x9FFF) // Han
        || (c >= 0xF900 && c <= 0xFAFF) // Han compatibility
        || (c >= 0xFF66 && c <= 0xFF9F) // half-width Katakana
        || (c >= 0x20000 && c <= 0x323AF); // Han extensions B and later
}

// The character at the start of `text` and its length in bytes; a byte that starts no well-formed
// character (typed queries may hold any bytes) stands alone and is no ideograph.
char32_t CharacterAt(std::string_view text, std::size_t& length)
{
    char32_t c = 0;
    length = Utf8SequenceAt(text, c);
    if (length == 0) {
        length = 1;
        c = 0;
    }
    return c;
}

// A word cut where ideographs start and end: each ideograph alone, other runs whole.
std::vector<std::string_view> CutAtIdeographs(std::string_view word, bool& cut)
{
    std::vector<std::string_view> pieces;
    cut = false;
    std::size_t runStart = 0;
    for (std::size_t at = 0; at < word.size();) {
        std::size_t length = 0;
        if (!IsIdeographic(CharacterAt(word.substr(at), length))) {
            at += length;
            continue;
        }
        cut = true;
        if (at > runStart)
            pieces.push_back(word.substr(runStart, at - runStart));
        pieces.push_back(word.substr(at, length));
        at += length;
        runStart = at;
    }
    if (runStart < word.size())
        pieces.push_back(word.substr(runStart));
    return pieces;
}

int OnWord(void* context, int flags, const char* token, int size, int start, int end)
{
    const auto* call = static_cast<TokenizeContext*>(context);
    const std::string_view folded(token, static_cast<std::size_t>(size));
    // Every ideograph's UTF-8 starts with a byte of 0xE3 or more: most words are passed on at once.
    const bool mayHoldIdeographs
        = std::any_of(folded.begin(), folded.end(), [](char c) { return static_cast<unsigned char>(c) >= 0xE3; });
    if (!mayHoldIdeographs)
        return call->token(call->context, flags, token, size, start, end);
    bool cut = false;
    const std::vector<std::string_view> foldedPieces = CutAtIdeographs(folded, cut);
    if (!cut)
        return call->token(call->context, flags, token, size, start, end);
    // Folding leaves ideographs as they are, so the word as written cuts into as many pieces, which
    // give each piece's place; should it not, the word stays whole.
    const std::string_view written(call->text + start, static_cast<std::size_t>(end - start));
    const std::vector<std::string_view> writtenPieces = CutAtIdeographs(written, cut);
    if (writtenPieces.size() != foldedPieces.size())
        return call->token(call->context, flags, token, size, start, end);
    for (std::size_t i = 0; i < foldedPieces.size(); ++i) {
        const int pieceStart = static_cast<int>(writtenPieces[i].data() - call->text);
        const int rc
            = call->token(call->context, flags, foldedPieces[i].data(), static_cast<int>(foldedPieces[i].size()),
                pieceStart, pieceStart + static_cast<int>(writtenPieces[i].size()));
        if (rc != SQLITE_OK)
            return rc;
    }
    return SQLITE_OK;
}

int Create(void* api, const char** arguments, int count, Fts5Tokenizer** out)
{
    auto* fts5 = static_cast<fts5_api*>(api);
    auto* tokenizer = new (std::nothrow) BookTokenizer;
    if (tokenizer == nullptr)
        return SQLITE_NOMEM;
    void* userData = nullptr;
    int rc = fts5->xFindTokenizer(fts5, "unicode61", &userData, &tokenizer->words);
    if (rc == SQLITE_OK)
        rc = tokenizer->words.xCreate(userData, arguments, count, &tokenizer->instance);
    if (rc != SQLITE_OK) {
        delete tokenizer;
        return rc;
    }
    *out = reinterpret_cast<Fts5Tokenizer*>(tokenizer);
    return SQLITE_OK;
}

void Delete(Fts5Tokenizer* instance)
{
    auto* tokenizer = reinterpret_cast<BookTokenizer*>(instance);
    tokenizer->words.xDelete(tokenizer->instance);
    delete tokenizer;
}

thread_local const TokenList* tReplayed = nullptr;

int Replay(const TokenList& list, void* context, TokenCallback token)
{
    uint32_t start = 0;
    for (const uint32_t end : list.ends) {
        // Where a token stands in the text matters only for highlighting, which this index never does.
        const int rc = token(context, 0, list.tokens.data() + start, static_cast<int>(end - start), 0, 0);
        if (rc != SQLITE_OK)
            return rc == SQLITE_DONE ? SQLITE_OK : rc;
        start = end;
    }
    return SQLITE_OK;
}

int Tokenize(Fts5Tokenizer* instance, void* context, int flags, const char* text, int size, TokenCallback token)
{
    const TokenList* replayed = tReplayed;
    // FTS5 hands over a copy of the text: the same bytes mean the same tokens.
    if (replayed != nullptr && (flags & FTS5_TOKENIZE_DOCUMENT) != 0 && static_cast<std::size_t>(size) == replayed->size
        && (size == 0 || std::memcmp(text, replayed->text, replayed->size) == 0))
        return Replay(*replayed, context, token);
    auto* tokenizer = reinterpret_cast<BookTokenizer*>(instance);
    TokenizeContext call { context, token, text };
    return tokenizer->words.xTokenize(tokenizer->instance, &call, flags, text, size, OnWord);
}

} // namespace

bool IsIdeograph(std::string_view token)
{
    if (token.empty())
        return false;
    std::size_t length = 0;
    return IsIdeographic(CharacterAt(token, length)) && length == token.size();
}

void RegisterBookTokenizer(sqlite3* db)
{
    fts5_api* api = Fts5Of(db);
    if (api == nullptr)
        throw Exception("Search index: SQLite has no FTS5");
    void* userData = nullptr;
    fts5_tokenizer existing {};
    if (api->xFindTokenizer(api, kBookTokenizerName, &userData, &existing) == SQLITE_OK)
        return;
    fts5_tokenizer book { Create, Delete, Tokenize };
    if (api->xCreateTokenizer(api, kBookTokenizerName, api, &book, nullptr) != SQLITE_OK)
        throw Exception("Search index: the tokenizer cannot be made");
}

TTokenReplay::TTokenReplay(const TokenList& list)
    : previous_(tReplayed)
{
    tReplayed = &list;
}

TTokenReplay::~TTokenReplay()
{
    tReplayed = previous_;
}
