#include "search/PreparedPage.h"

#include "common/Exception.h"
#include "search/IndexTokenizer.h"
#include "search/PackedText.h"

#include <sqlite3.h>

#include <unordered_map>

TPagePreparer::TPagePreparer(Keep keep)
{
    if (sqlite3_open_v2(":memory:", &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_MEMORY | SQLITE_OPEN_NOMUTEX, nullptr)
        != SQLITE_OK) {
        sqlite3_close(db_);
        throw Exception("Cannot make the search index: out of memory");
    }
    try {
        tokenizer_ = std::make_unique<TIndexTokenizer>(db_, TIndexTokenizer::Stemming::Unstemmed);
        if (keep == Keep::WordsAndText)
            packer_ = std::make_unique<TTextPacker>();
    } catch (...) {
        tokenizer_.reset();
        sqlite3_close(db_);
        throw;
    }
}

TPagePreparer::~TPagePreparer()
{
    tokenizer_.reset(); // made from db_
    sqlite3_close(db_);
}

namespace {

// Each word that stands in the text at least twice goes to the first kind, each one at least four
// times to the second too, and so on.
template <typename Counts, std::size_t Kinds>
void SortByTimes(const Counts& times, std::array<std::string, Kinds>& kinds)
{
    for (const auto& [word, count] : times) {
        for (std::size_t kind = 0; kind < Kinds && count >= LeastTimesOfKind(kind); ++kind)
            kinds[kind].append(word).push_back(' ');
    }
}

} // namespace

PreparedPage TPagePreparer::Prepare(std::string_view name, PageText text)
{
    PreparedPage page { std::string(name), std::move(text), {}, {}, {}, {} };
    // The layout of the body has done its work (repeated text is out): only the words are kept.
    page.text.blocks = {};
    page.text.elements = {};
    const std::string_view body = page.text.body;
    tokenizer_->TokenizeWithJoined(body, [&](std::string_view folded, int, int, bool joined) {
        page.bodyTokens.Append(folded, joined);
        return true;
    });
    if (packer_)
        page.packedBody = packer_->Pack(body);
    std::unordered_map<std::string_view, int> times;
    const TokenList& tokens = page.bodyTokens;
    for (std::size_t i = 0, start = 0; i < tokens.ends.size(); start = tokens.ends[i++]) {
        if (!tokens.joined[i])
            ++times[std::string_view(tokens.tokens).substr(start, tokens.ends[i] - start)];
    }
    SortByTimes(times, page.wordsByTimes);
    std::unordered_map<std::string, int> headingTimes;
    tokenizer_->Tokenize(page.text.headings, [&](std::string_view folded, int, int) {
        ++headingTimes[std::string(folded)];
        return true;
    });
    SortByTimes(headingTimes, page.headingWordsByTimes);
    return page;
}
