#include "PageService.h"

#include "AnsiText.h"
#include "BookReader.h"
#include "ServerNetHTTP.h"
#include "Streams.h"

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
    if (auto page = ExtractOrFindPage(PageNameFromDocument(RequestInfo.Document))) {
        ResponseInfo.SetResponseCode(200);
        ResponseInfo.ContentStream = std::move(page);
        ResponseInfo.ContentType.clear();
    } else {
        ResponseInfo.SetResponseCode(404);
        ResponseInfo.ContentText = std::string(kPageNotFoundText);
    }
}

std::unique_ptr<TStream> TPageService::ExtractOrFindPage(const std::string& name)
{
    if (!Cache) {
        auto page = std::make_unique<TMemoryStream>();
        if (!Reader.ExtractPage(name, *page))
            return nullptr;
        return page;
    }
    const int index = Reader.IndexOfPage(name);
    if (index < 0)
        return nullptr;
    auto bytes = Cache->Find(index);
    if (!bytes) {
        TMemoryStream page;
        if (!Reader.ExtractPageAt(index, page))
            return nullptr;
        bytes = std::make_shared<const std::string>(page.View());
        Cache->Add(index, bytes);
    }
    return std::make_unique<TSharedBytesStream>(std::move(bytes));
}

std::string PageNameFromDocument(std::string_view document)
{
    return ReplaceAll(document, "%20", " ");
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
