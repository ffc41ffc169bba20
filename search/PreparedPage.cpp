#include "search/PreparedPage.h"

#include "search/IndexTokenizer.h"
#include "search/PackedText.h"

#include <unordered_map>

TPagePreparer::TPagePreparer(Keep keep)
    : tokenizer_(TIndexTokenizer::Stemming::Unstemmed, "the search index")
{
    if (keep == Keep::WordsAndText)
        packer_ = std::make_unique<TTextPacker>();
}

TPagePreparer::~TPagePreparer() = default;

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
