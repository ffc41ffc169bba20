#include "tools/library/BookIcon.h"

#include "common/BookText.h"
#include "common/StableHash.h"
#include "common/Utf8.h"
#include "html/HtmlEscape.h"

#include <array>
#include <cctype>
#include <cstdint>
#include <optional>

namespace {

struct TFavicon {
    std::string_view name;
    std::string_view type;
};
constexpr std::array<TFavicon, 3> kFavicons { { { "/favicon.ico", "image/x-icon" }, { "/favicon.png", "image/png" },
    { "/favicon.svg", "image/svg+xml" } } };

std::optional<TBookIcon> FaviconOf(TBookSource& source)
{
    for (const TFavicon& favicon : kFavicons) {
        const TPageLookup found = source.Lookup(StoredBookText(favicon.name));
        if (found.bytes && !found.bytes->empty())
            return TBookIcon { *found.bytes, std::string(favicon.type) };
    }
    return std::nullopt;
}

// The first character of the text, upper-cased when it is an ASCII letter; "?" for none.
std::string Initial(std::string_view text)
{
    char32_t c = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = Utf8SequenceAt(text.substr(at), c);
        if (length == 0) {
            ++at;
            continue;
        }
        if (c > U' ' && c != 0x7F && !(c >= 0x80 && c < 0xA0)) {
            if (c < 0x80)
                return std::string(1, static_cast<char>(std::toupper(static_cast<int>(c))));
            return std::string(text.substr(at, length));
        }
        at += length;
    }
    return "?";
}

} // namespace

TBookIcon GeneratedIcon(std::string_view name, std::string_view title)
{
    const uint32_t hue = StableHash32(name) % 360;
    const std::string letter = EscapeHtml(Initial(title.empty() ? name : title));
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"48\" height=\"48\" viewBox=\"0 0 48 48\">"
                      "<rect width=\"48\" height=\"48\" rx=\"6\" fill=\"hsl("
        + std::to_string(hue)
        + ",55%,40%)\"/><text x=\"24\" y=\"33\" font-family=\"sans-serif\" font-size=\"26\" "
          "text-anchor=\"middle\" fill=\"#fff\">"
        + letter + "</text></svg>";
    return { std::move(svg), "image/svg+xml" };
}

TBookIcon IconOf(const TLibraryBook& book)
{
    if (book.source) {
        try {
            if (std::optional<TBookIcon> favicon = FaviconOf(*book.source))
                return std::move(*favicon);
            if (std::optional<TBookPicture> picture = book.source->Picture())
                return { std::move(picture->bytes), std::move(picture->type) };
        } catch (const std::exception&) {
            // A page that cannot be read: the book is shown with the icon made for it.
        }
    }
    return GeneratedIcon(book.name, book.title);
}
