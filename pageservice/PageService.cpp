#include "PageService.h"

#include "AnsiText.h"
#include "BookReader.h"
#include "HTTPListener.h"
#include "Streams.h"
#include "WinAnsi.h"

#include <chrono>
#include <memory>
#include <random>

void TPageService::Attach(TNetHTTPListener& listener)
{
    listener.Port = RandomPagePort();
    listener.BoundIP = std::string(kPageServerAddress);
    listener.OnCommandGet = [this](TNetServerThread& thread, THTTPRequestInfo& request, THTTPResponseInfo& response) {
        PageRequest(thread, request, response);
    };
}

void TPageService::PageRequest(TNetServerThread&, THTTPRequestInfo& RequestInfo, THTTPResponseInfo& ResponseInfo)
{
    const std::lock_guard<std::mutex> lock(PageLock);
    auto page = ExtractPage(PageNameFromDocument(RequestInfo.Document));
    if (!page) {
        if (const auto escaped = PageNameFromEscapedDocument(RequestInfo.Document))
            page = ExtractPage(*escaped);
    }
    if (page) {
        ResponseInfo.SetResponseCode(200);
        ResponseInfo.ContentStream = std::move(page);
        ResponseInfo.ContentType.clear();
    } else {
        ResponseInfo.SetResponseCode(404);
        ResponseInfo.ContentText = std::string(kPageNotFoundText);
    }
}

std::unique_ptr<TStream> TPageService::ExtractPage(const std::string& name)
{
    auto page = std::make_unique<TMemoryStream>();
    if (!Reader.ExtractPage(name, *page))
        return nullptr;
    return page;
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
