// Page text and search on arbitrary bytes: the first byte picks the page's kind, the rest is the
// page. Its text must be well-formed UTF-8 without control characters; then the same bytes,
// typed as a query, search an index holding that text, which must never fail.

#include "common/Utf8.h"
#include "html/CleanText.h"
#include "html/PageText.h"
#include "search/SearchIndex.h"
#include "search/SearchQuery.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void CheckText(std::string_view text)
{
    if (!IsValidUtf8(text))
        std::abort();
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && c != '\t' && c != '\n' && c != '\r')
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    static constexpr const char* kNames[] = { "/page.htm", "/page.xhtml", "/notes.txt" };
    const char* name = kNames[data[0] % 3];
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const auto text = ExtractPageText(name, bytes);
    if (!text)
        std::abort(); // every one of these kinds has text
    CheckText(text->title);
    CheckText(text->body);

    TSearchIndex index;
    index.Add(name, *text);
    const SearchResults results = index.Search(bytes.substr(0, 200), 0, 5);
    if (results.total < 0 || results.total > 1 || results.hits.size() > static_cast<std::size_t>(results.total))
        std::abort();
    for (const SearchHit& hit : results.hits) {
        for (const SnippetPiece& piece : hit.snippet)
            CheckText(piece.text);
    }
    return 0;
}
