#include "search/BookTokenizer.h"

#include "common/Exception.h"
#include "common/Utf8.h"
#include "search/Fts5Functions.h"
#include "search/SearchQuery.h"

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

// A word of a run: words joined by punctuation alone ("pg_hba.conf", "3.11", "os.path.join"), or
// ideographs side by side.
struct RunWord {
    std::string folded;
    int start = 0;
    int end = 0;
};

struct TokenizeContext {
    void* context;
    TokenCallback token;
    const char* text;
    bool query; // a query's words: a run stands for its joined words alone
    std::vector<RunWord> words; // the run the last word belongs to: its first `length` (the
    std::size_t length = 0; // others keep their memory for the next run)
    bool runIsIdeographs = false;
    std::string joined; // the joined word being made
};

// Runs are joined whole and in parts of up to this many words, so that a part of a longer name
// ("parallel_workers" in "max_parallel_workers") is found too. Ideographs are joined in pairs.
constexpr std::size_t kMostJoinedParts = 4;
// Longer runs are cut, and a joined word longer than this is not made.
constexpr std::size_t kMostRunWords = 32;
constexpr std::size_t kMostJoinedBytes = 128;

// Whether the word at [start, end) continues the run: joined to its last word by punctuation
// alone, or an ideograph right after an ideograph.
bool Continues(const TokenizeContext& call, bool ideograph, int start)
{
    if (call.length == 0 || ideograph != call.runIsIdeographs || call.length == kMostRunWords)
        return false;
    const int gapStart = call.words[call.length - 1].end;
    if (ideograph)
        return gapStart == start;
    if (gapStart >= start)
        return false;
    const std::string_view gap(call.text + gapStart, static_cast<std::size_t>(start - gapStart));
    // A no-break space (U+00A0) parts words as a blank does.
    return std::none_of(gap.begin(), gap.end(), IsTermBlank) && gap.find("\xC2\xA0") == std::string_view::npos;
}

int EmitJoined(TokenizeContext& call, std::size_t first, std::size_t count, int flags)
{
    std::string& joined = call.joined;
    joined.clear();
    for (std::size_t i = first; i < first + count; ++i) {
        if (i > first && !call.runIsIdeographs)
            joined += kJoinedWordSeparator;
        joined += call.words[i].folded;
    }
    if (joined.size() > kMostJoinedBytes)
        return SQLITE_OK;
    return call.token(call.context, flags, joined.data(), static_cast<int>(joined.size()), call.words[first].start,
        call.words[first + count - 1].end);
}

// The joined words of the run that ends. A document's run gives its parts (already given as they
// came), then, at the same place, every stretch of two to four of them joined and the whole run
// joined; ideographs give every pair. A query's run gives only its whole joined (a query of
// ideographs, its pairs), which the document's joined words then match.
int EndRun(TokenizeContext& call)
{
    const std::size_t n = call.length;
    int rc = SQLITE_OK;
    if (n == 1 && call.query) {
        const RunWord& word = call.words.front();
        rc = call.token(
            call.context, 0, word.folded.data(), static_cast<int>(word.folded.size()), word.start, word.end);
    } else if (n > 1 && call.runIsIdeographs) {
        for (std::size_t i = 0; i + 1 < n && rc == SQLITE_OK; ++i)
            rc = EmitJoined(call, i, 2, call.query ? 0 : FTS5_TOKEN_COLOCATED);
    } else if (n > 1 && call.query) {
        rc = EmitJoined(call, 0, n, 0);
    } else if (n > 1) {
        for (std::size_t count = 2; count <= std::min(n, kMostJoinedParts); ++count) {
            for (std::size_t i = 0; i + count <= n && rc == SQLITE_OK; ++i)
                rc = EmitJoined(call, i, count, FTS5_TOKEN_COLOCATED);
        }
        if (n > kMostJoinedParts && rc == SQLITE_OK)
            rc = EmitJoined(call, 0, n, FTS5_TOKEN_COLOCATED);
    }
    call.length = 0;
    return rc;
}

// One word as the index takes it: a document's at once, then its run's joined words once the run
// ends.
int TakeWord(TokenizeContext& call, int flags, std::string_view folded, int start, int end)
{
    const bool ideograph = IsIdeograph(folded);
    if (!Continues(call, ideograph, start) && call.length > 0) {
        if (const int rc = EndRun(call); rc != SQLITE_OK)
            return rc;
    }
    call.runIsIdeographs = ideograph;
    if (call.length == call.words.size())
        call.words.emplace_back();
    RunWord& word = call.words[call.length++];
    word.folded.assign(folded);
    word.start = start;
    word.end = end;
    if (call.query)
        return SQLITE_OK;
    return call.token(call.context, flags, folded.data(), static_cast<int>(folded.size()), start, end);
}

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
    auto* call = static_cast<TokenizeContext*>(context);
    const std::string_view folded(token, static_cast<std::size_t>(size));
    // Every ideograph's UTF-8 starts with a byte of 0xE3 or more: most words are passed on at once.
    const bool mayHoldIdeographs
        = std::any_of(folded.begin(), folded.end(), [](char c) { return static_cast<unsigned char>(c) >= 0xE3; });
    if (!mayHoldIdeographs)
        return TakeWord(*call, flags, folded, start, end);
    bool cut = false;
    const std::vector<std::string_view> foldedPieces = CutAtIdeographs(folded, cut);
    if (!cut)
        return TakeWord(*call, flags, folded, start, end);
    // Folding leaves ideographs as they are, so the word as written cuts into as many pieces, which
    // give each piece's place; should it not, the word stays whole.
    const std::string_view written(call->text + start, static_cast<std::size_t>(end - start));
    const std::vector<std::string_view> writtenPieces = CutAtIdeographs(written, cut);
    if (writtenPieces.size() != foldedPieces.size())
        return TakeWord(*call, flags, folded, start, end);
    for (std::size_t i = 0; i < foldedPieces.size(); ++i) {
        const int pieceStart = static_cast<int>(writtenPieces[i].data() - call->text);
        const int rc = TakeWord(
            *call, flags, foldedPieces[i], pieceStart, pieceStart + static_cast<int>(writtenPieces[i].size()));
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
    for (std::size_t i = 0; i < list.ends.size(); ++i) {
        const uint32_t end = list.ends[i];
        // Where a token stands in the text matters only for highlighting, which this index never does.
        const int rc = token(context, list.joined[i] ? FTS5_TOKEN_COLOCATED : 0, list.tokens.data() + start,
            static_cast<int>(end - start), 0, 0);
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
    TokenizeContext call { context, token, text, (flags & FTS5_TOKENIZE_QUERY) != 0, {}, 0, false, {} };
    const int rc = tokenizer->words.xTokenize(tokenizer->instance, &call, flags, text, size, OnWord);
    if (rc != SQLITE_OK || call.length == 0)
        return rc;
    const int last = EndRun(call);
    return last == SQLITE_DONE ? SQLITE_OK : last;
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
