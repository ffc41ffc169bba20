#include "PageService.h"

#include "AnsiText.h"
#include "ContentTypes.h"
#include "HTTPRequestInfo.h"
#include "HTTPResponseInfo.h"
#include "Streams.h"
#include "WinAnsi.h"

#include <chrono>
#include <memory>
#include <random>

std::optional<TFoundPage> FindPage(TPageSource& source, std::string_view document)
{
    std::string name = PageNameFromDocument(document);
    TPageLookup lookup = source.Lookup(name);
    if (!lookup.stored) {
        auto escaped = PageNameFromEscapedDocument(document);
        if (!escaped)
            return std::nullopt;
        name = std::move(*escaped);
        lookup = source.Lookup(name);
    }
    if (!lookup.bytes)
        return std::nullopt;
    return TFoundPage { std::move(name), std::move(lookup.bytes) };
}

void BuildPageAnswer(const std::optional<TFoundPage>& page, THTTPResponseInfo& response)
{
    if (page) {
        response.SetResponseCode(200);
        response.ContentStream = std::make_unique<TSharedBytesStream>(page->bytes);
        response.ContentType = ContentTypeForPage(page->name);
    } else {
        response.SetResponseCode(404);
        response.ContentText = std::string(kPageNotFoundText);
    }
}

void AnswerPageRequest(TPageSource& source, const THTTPRequestInfo& request, THTTPResponseInfo& response)
{
    BuildPageAnswer(FindPage(source, request.Document), response);
}

std::string PageNameFromDocument(std::string_view document)
{
    return ReplaceAll(document, "%20", " ");
}

namespace {

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Every "%hh" becomes the byte hh; a "%" without two hexadecimal digits stays as it is, and so
// does "+", which a path does not use for a blank.
std::string PercentDecodePath(std::string_view path)
{
    std::string bytes;
    bytes.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '%' && i + 2 < path.size()) {
            const int high = HexDigitValue(path[i + 1]);
            const int low = HexDigitValue(path[i + 2]);
            if (high >= 0 && low >= 0) {
                bytes += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        bytes += path[i];
    }
    return bytes;
}

} // namespace

std::optional<std::string> PageNameFromEscapedDocument(std::string_view document)
{
    const std::string decoded = PercentDecodePath(document);
    std::string name = Utf8ToAnsi(decoded).value_or(decoded);
    if (name == PageNameFromDocument(document))
        return std::nullopt;
    return name;
}

int32_t RandomPagePort()
{
    using namespace std::chrono;
    const auto now = system_clock::now().time_since_epoch();
    const auto millisecondOfDay = duration_cast<milliseconds>(now).count() % (24LL * 60 * 60 * 1000);
    std::minstd_rand generator(static_cast<std::minstd_rand::result_type>(millisecondOfDay) + 1);
    std::uniform_int_distribution<int32_t> draw(0, 999);
    return 11111 + draw(generator);
}

std::string PageURL(std::string_view boundIP, int32_t port, std::string_view pageName)
{
    std::string url = "http://";
    url += boundIP;
    url += ':';
    url += std::to_string(port);
    url += pageName;
    return url;
}
