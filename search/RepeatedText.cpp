#include "search/RepeatedText.h"

#include "common/StableHash.h"

#include <algorithm>
#include <exception>

#include <string_view>
#include <vector>

namespace {

// A block counts as repeated when this share of the pages learnt from hold it, and at least
// kLeastPages of them: once on two pages is a coincidence, on every page a navigation bar.
constexpr double kRepeatedShare = 0.25;
constexpr int kLeastPages = 3;

// The same on every machine, so that a book keeps the hashes it was built with.
uint64_t HashOf(const PageText& page, const MarkupBlock& block)
{
    return StableHash64(std::string_view(page.body).substr(block.begin, block.end - block.begin));
}

} // namespace

void TRepeatedText::Learn(const PageText& page)
{
    std::unordered_set<uint64_t> seen;
    for (const MarkupBlock& block : page.blocks) {
        const uint64_t hash = HashOf(page, block);
        if (seen.insert(hash).second)
            ++pagesWith_[hash];
    }
    ++pages_;
}

void TRepeatedText::Settle()
{
    for (const auto& [hash, pages] : pagesWith_) {
        if (pages >= kLeastPages && pages >= kRepeatedShare * pages_)
            repeated_.insert(hash);
    }
    pagesWith_.clear();
}

void TRepeatedText::Strip(PageText& page) const
{
    if (repeated_.empty() || page.blocks.empty()) {
        page.blocks.clear();
        page.elements.clear();
        return;
    }
    std::vector<bool> repeated(page.blocks.size());
    struct Tally {
        uint32_t blocks = 0;
        uint32_t repeated = 0;
    };
    std::vector<Tally> tallies(page.elements.size());
    for (std::size_t i = 0; i < page.blocks.size(); ++i) {
        const uint32_t holder = page.blocks[i].element;
        const bool heading = holder < page.elements.size() && page.elements[holder].heading;
        repeated[i] = !heading && repeated_.contains(HashOf(page, page.blocks[i]));
        for (uint32_t e = page.blocks[i].element; e < page.elements.size(); e = page.elements[e].parent) {
            ++tallies[e].blocks;
            tallies[e].repeated += repeated[i] ? 1 : 0;
        }
    }
    // An element goes whole when most of its blocks (two or more) repeat, unless it holds the
    // page's own text: elements come before those inside them, so one pass settles each.
    std::vector<bool> goes(page.elements.size());
    for (std::size_t e = 0; e < page.elements.size(); ++e) {
        const MarkupElement& element = page.elements[e];
        const bool parentGoes = element.parent < page.elements.size() && goes[element.parent];
        goes[e] = parentGoes
            || (!element.content && tallies[e].repeated >= 2 && 2 * tallies[e].repeated > tallies[e].blocks);
    }
    std::string body;
    body.reserve(page.body.size());
    for (std::size_t i = 0; i < page.blocks.size(); ++i) {
        const MarkupBlock& block = page.blocks[i];
        if (repeated[i] || (block.element < goes.size() && goes[block.element]))
            continue;
        if (!body.empty())
            body += ' ';
        body.append(page.body, block.begin, block.end - block.begin);
    }
    page.body = std::move(body);
    page.blocks.clear();
    page.elements.clear();
}

TRepeatedText TRepeatedText::LearnFromSample(
    std::size_t count, const std::function<std::optional<PageText>(std::size_t)>& textOf)
{
    TRepeatedText repeated;
    const std::size_t sample = std::min<std::size_t>(count, kSamplePages);
    for (std::size_t n = 0; n < sample; ++n) {
        try {
            if (const std::optional<PageText> text = textOf(n * count / sample))
                repeated.Learn(*text);
        } catch (const std::exception&) {
            // A page that cannot be read: the others are learnt from.
        }
    }
    repeated.Settle();
    return repeated;
}
