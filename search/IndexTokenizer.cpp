#include "search/IndexTokenizer.h"

#include "common/Exception.h"
#include "search/BookTokenizer.h"
#include "search/Fts5Functions.h"

#include <sqlite3.h>

#include <iterator>

#include <vector>

namespace {

struct TokenContext {
    const TIndexTokenizer::IndexTokenFunction* token;
    bool withJoined;
};

int OnToken(void* context, int flags, const char* token, int size, int start, int end)
{
    const auto* call = static_cast<TokenContext*>(context);
    const bool joined = (flags & FTS5_TOKEN_COLOCATED) != 0;
    if (joined && !call->withJoined)
        return SQLITE_OK;
    // Any code but SQLITE_OK ends the tokenizing; SQLITE_DONE says it ended on purpose.
    return (*call->token)(std::string_view(token, static_cast<std::size_t>(size)), start, end, joined) ? SQLITE_OK
                                                                                                       : SQLITE_DONE;
}

} // namespace

TIndexTokenizer::TIndexTokenizer(sqlite3* db, Stemming stemming)
{
    RegisterBookTokenizer(db);
    fts5_api* fts5 = Fts5Of(db);
    void* userData = nullptr;
    api_ = std::make_unique<fts5_tokenizer>();
    const bool stemmed = stemming == Stemming::Stemmed;
    if (fts5 == nullptr
        || fts5->xFindTokenizer(fts5, stemmed ? "porter" : kBookTokenizerName, &userData, api_.get()) != SQLITE_OK)
        throw Exception("Search index: SQLite has no FTS5 tokenizer");
    std::vector<const char*> arguments;
    if (stemmed)
        arguments.push_back(kBookTokenizerName);
    for (const char* argument : kTokenizerArguments)
        arguments.push_back(argument);
    if (api_->xCreate(userData, arguments.data(), static_cast<int>(arguments.size()), &tokenizer_) != SQLITE_OK)
        throw Exception("Search index: the tokenizer cannot be made");
}

TIndexTokenizer::~TIndexTokenizer()
{
    if (tokenizer_ != nullptr)
        api_->xDelete(tokenizer_);
}

void TIndexTokenizer::Tokenize(std::string_view text, const TokenFunction& token) const
{
    const IndexTokenFunction each
        = [&](std::string_view folded, int start, int end, bool) { return token(folded, start, end); };
    TokenContext context { &each, false };
    api_->xTokenize(tokenizer_, &context, FTS5_TOKENIZE_DOCUMENT, text.data(), static_cast<int>(text.size()), OnToken);
}

void TIndexTokenizer::TokenizeWithJoined(std::string_view text, const IndexTokenFunction& token) const
{
    TokenContext context { &token, true };
    api_->xTokenize(tokenizer_, &context, FTS5_TOKENIZE_DOCUMENT, text.data(), static_cast<int>(text.size()), OnToken);
}

std::vector<std::string> TIndexTokenizer::QueryTokens(std::string_view term) const
{
    std::vector<std::string> tokens;
    const IndexTokenFunction keep = [&](std::string_view folded, int, int, bool) {
        tokens.emplace_back(folded);
        return true;
    };
    TokenContext context { &keep, true };
    api_->xTokenize(tokenizer_, &context, FTS5_TOKENIZE_QUERY, term.data(), static_cast<int>(term.size()), OnToken);
    return tokens;
}

TOwnTokenizer::TOwnTokenizer(TIndexTokenizer::Stemming stemming, std::string_view what)
{
    if (sqlite3_open_v2(":memory:", &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_MEMORY | SQLITE_OPEN_NOMUTEX, nullptr)
        != SQLITE_OK) {
        sqlite3_close(db_);
        throw Exception("Cannot make " + std::string(what) + ": out of memory");
    }
    try {
        tokenizer_ = std::make_unique<TIndexTokenizer>(db_, stemming);
    } catch (...) {
        sqlite3_close(db_);
        throw;
    }
}

TOwnTokenizer::~TOwnTokenizer()
{
    tokenizer_.reset();
    sqlite3_close(db_);
}
