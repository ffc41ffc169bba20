#include "pageservice/PageService.h"

#include "common/AnsiText.h"
#include "common/PercentDecoding.h"
#include "common/WinAnsi.h"
#include "pageservice/ContentTypes.h"
#include "pageservice/PagePorts.h"
#include "server/http/HTTPRequestInfo.h"

#include <chrono>
#include <memory>
#include <random>
#include <vector>

namespace {

// The page stored under the name, null inside when it is stored but cannot be read; nothing when
// no page is stored under the name.
std::optional<std::optional<TFoundPage>> LookUp(TPageSource& source, std::string name)
{
    TPageLookup lookup = source.Lookup(name);
    if (!lookup.stored)
        return std::nullopt;
    if (!lookup.bytes)
        return std::optional<TFoundPage> {};
    return TFoundPage { std::move(name), std::move(lookup.bytes), lookup.fileHandle, {}, std::move(lookup.deflated) };
}

constexpr std::string_view kFolderPages[] = { "index.html", "index.htm" };

} // namespace

std::string MergeSlashes(std::string_view name)
{
    std::string merged;
    merged.reserve(name.size());
    for (char c : name) {
        if (c != '/' || !merged.ends_with('/'))
            merged += c;
    }
    return merged;
}

std::optional<TFoundPage> FindPage(TPageSource& source, std::string_view document)
{
    std::vector<std::string> names { PageNameFromDocument(document) };
    if (auto escaped = PageNameFromEscapedDocument(document))
        names.push_back(std::move(*escaped));
    for (const std::string& name : names) {
        if (auto found = LookUp(source, name))
            return *found;
    }
    for (const std::string& name : names) {
        std::string folder = MergeSlashes(name);
        if (folder != name) {
            if (auto found = LookUp(source, folder))
                return *found;
        }
        const bool slashMissing = !folder.ends_with('/');
        if (slashMissing)
            folder += '/';
        for (std::string_view page : kFolderPages) {
            auto found = LookUp(source, folder + std::string(page));
            if (!found)
                continue;
            if (*found && slashMissing)
                (*found)->movedTo = std::string(document) + "/";
            return *found;
        }
    }
    return std::nullopt;
}

TAnswer PageAnswer(const std::optional<TFoundPage>& page, std::string_view notFoundMarkup)
{
    if (page && !page->movedTo.empty()) {
        TAnswer moved = TextAnswer(301, "<a href=\"" + page->movedTo + "\">" + page->movedTo + "</a>");
        moved.headers.emplace_back("Location", page->movedTo);
        return moved;
    }
    if (!page)
        return TextAnswer(404, std::string(kPageNotFoundText) + std::string(notFoundMarkup));
    TAnswer found;
    found.contentType = ContentTypeForAnswer(page->name, *page->bytes);
    found.page = page->bytes;
    found.pageFile = page->fileHandle;
    found.deflated = page->deflated;
    return found;
}

TAnswer AnswerPageRequest(TPageSource& source, const THTTPRequestInfo& request)
{
    std::optional<TFoundPage> page = FindPage(source, request.Document);
    return PageAnswer(page, page ? std::string() : source.NotFoundMarkup());
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
