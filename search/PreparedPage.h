#pragma once

#include "html/PageText.h"
#include "search/BookTokenizer.h"
#include "search/IndexTokenizer.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

class TTextPacker;

// A page made ready for the index: its text to index, the body's tokens as the index's tokenizer
// makes them (so the index need not tokenize the body again), and the body packed.
struct PreparedPage {
    std::string name; // as the book stores it (Windows-1252)
    PageText text;
    TokenList bodyTokens;
    std::string packedBody; // TTextPacker's, for snippets; empty when only words are kept
    // The index keeps no counts: the body's words that stand in it at least twice, each once, then
    // those that stand in it at least four times, eight times, and so on (kTimesKinds kinds), tell a
    // page about a word from one that only mentions it.
    std::array<std::string, 6> wordsByTimes;
    // The same for the headings, up to eight times.
    std::array<std::string, 3> headingWordsByTimes;
};

inline constexpr std::size_t kTimesKinds = std::tuple_size_v<decltype(PreparedPage::wordsByTimes)>;
inline constexpr std::size_t kHeadingTimesKinds = std::tuple_size_v<decltype(PreparedPage::headingWordsByTimes)>;
// How many times the words of each kind stand in the body at least: 2, 4, 8...
constexpr int LeastTimesOfKind(std::size_t kind)
{
    return 2 << kind;
}

// Does the work of adding a page that needs no index: tokenizing its text, counting its words and
// packing it. Each thread that prepares pages has a preparer of its own; one is not safe for two threads.
class TPagePreparer {
public:
    // What a prepared page keeps: its text packed, for an index that makes snippets from it, or
    // only its words, for one that reads its snippets from the book (a stored index).
    enum class Keep { WordsAndText, WordsOnly };
    // Raises Exception when out of memory or when SQLite has no FTS5.
    explicit TPagePreparer(Keep keep = Keep::WordsAndText);
    ~TPagePreparer();
    TPagePreparer(const TPagePreparer&) = delete;
    TPagePreparer& operator=(const TPagePreparer&) = delete;

    PreparedPage Prepare(std::string_view name, PageText text);

private:
    TOwnTokenizer tokenizer_;
    std::unique_ptr<TTextPacker> packer_; // none when only words are kept
};
