#include "pageservice/PageService.h"

#include "common/AnsiText.h"
#include "common/PercentDecoding.h"
#include "common/Streams.h"
#include "common/WinAnsi.h"
#include "pageservice/ContentTypes.h"
#include "pageservice/PagePorts.h"
#include "pageservice/SharedPageStream.h"
#include "server/http/HTTPRequestInfo.h"
#include "server/http/HTTPResponseInfo.h"

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
    return TFoundPage { std::move(name), std::move(lookup.bytes), lookup.fileHandle };
}

void BuildPageAnswer(const std::optional<TFoundPage>& page, THTTPResponseInfo& response)
{
    if (page) {
        response.SetResponseCode(200);
        response.ContentStream = std::make_unique<TSharedPageStream>(page->bytes, page->fileHandle);
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
    std::uniform_int_distribution<int32_t> draw(0, kPagePortCount - 1);
    return kFirstPagePort + draw(generator);
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
