#include "search/TitleSuggestions.h"

#include "search/IndexTokenizer.h"

#include <algorithm>
#include <set>
#include <tuple>

namespace {

constexpr char kWordEnd = '\x1f';
// Titles looked at for one query at most: a one-letter prefix of a very large book would
// otherwise rank tens of thousands of them to show ten.
constexpr std::size_t kMostCandidates = 20000;

} // namespace

TTitleSuggestions::TTitleSuggestions()
    // Unstemmed: a word cut short is compared with the words of titles as they are written.
    : tokenizer_(TIndexTokenizer::Stemming::Unstemmed, "the title suggestions")
{
}

TTitleSuggestions::~TTitleSuggestions() = default;

std::string TTitleSuggestions::KeyOf(std::string_view text) const
{
    std::string key;
    tokenizer_->Tokenize(text, [&](std::string_view folded, int, int) {
        key.append(folded);
        key += kWordEnd;
        return true;
    });
    return key;
}

void TTitleSuggestions::Add(TitleSuggestion suggestion)
{
    std::string key = KeyOf(suggestion.title);
    if (key.empty())
        return;
    // A numbered title ("25.1. Routine Vacuuming") is found by its words too.
    std::size_t words = 0;
    while (words < key.size() && key[words] >= '0' && key[words] <= '9') {
        const std::size_t end = key.find(kWordEnd, words);
        if (key.find_first_not_of("0123456789", words) != end)
            break;
        words = end + 1;
    }
    if (words > 0 && words < key.size())
        entries_.push_back({ key.substr(words), suggestion });
    entries_.push_back({ std::move(key), std::move(suggestion) });
    finished_ = false;
}

void TTitleSuggestions::AddContents(const TContents& contents, TitleSuggestion::Kind kind)
{
    for (const TContentsEntry& entry : contents) {
        if (!entry.page.empty())
            Add({ entry.title, entry.page, entry.anchor, kind });
        AddContents(entry.children, kind);
    }
}

void TTitleSuggestions::Finish()
{
    std::sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) { return a.key < b.key; });
    finished_ = true;
}

std::vector<TitleSuggestion> TTitleSuggestions::Suggest(std::string_view typed, std::size_t limit) const
{
    std::string prefix = KeyOf(typed);
    if (!finished_ || prefix.empty() || limit == 0)
        return {};
    // The last word may be cut short: it is matched without its end mark.
    const std::string whole = prefix;
    const bool typingLast = typed.find_last_not_of(" \t") == typed.size() - 1;
    if (typingLast)
        prefix.pop_back();
    auto first = std::lower_bound(entries_.begin(), entries_.end(), prefix,
        [](const Entry& entry, const std::string& key) { return entry.key < key; });
    std::vector<const Entry*> found;
    for (auto entry = first; entry != entries_.end() && entry->key.starts_with(prefix); ++entry) {
        if (found.size() == kMostCandidates)
            break;
        found.push_back(&*entry);
    }
    const auto order = [&](const Entry* entry) {
        return std::make_tuple(entry->key != whole, static_cast<int>(entry->suggestion.kind), entry->key.size(),
            std::string_view(entry->suggestion.title));
    };
    std::stable_sort(found.begin(), found.end(), [&](const Entry* a, const Entry* b) { return order(a) < order(b); });
    std::vector<TitleSuggestion> out;
    std::set<std::pair<std::string_view, std::string_view>> places;
    for (const Entry* entry : found) {
        if (out.size() == limit)
            break;
        if (places.emplace(entry->suggestion.page, entry->suggestion.anchor).second)
            out.push_back(entry->suggestion);
    }
    return out;
}
