#include "pageservice/WebAnswerPolicy.h"

#include "pageservice/BodySlice.h"
#include "pageservice/ByteRanges.h"
#include "pageservice/CompressedBodies.h"
#include "pageservice/ContentCoding.h"
#include "pageservice/EntityTags.h"
#include "pageservice/HttpDate.h"
#include "pageservice/SharedPageStream.h"
#include "server/http/HTTPRequestInfo.h"
#include "server/http/HTTPResponseInfo.h"

#include <cstdio>

namespace {

// Below this, compressing saves less than the coding's own overhead is worth.
constexpr std::size_t kSmallestCompressedBody = 256;

std::string Quoted(std::string_view tag)
{
    return "\"" + std::string(tag) + "\"";
}

// The answer's tag: its own, else one of the body (or of a file's size and time, since reading a
// whole file to tag it would cost what sending it does).
std::string IdentityTag(const TAnswer& answer)
{
    if (!answer.etag.empty())
        return answer.etag;
    if (answer.file) {
        char text[64];
        std::snprintf(text, sizeof text, "f%llx-%llx", static_cast<unsigned long long>(answer.file->size),
            static_cast<unsigned long long>(answer.lastModified));
        return text;
    }
    return TagOfBody(answer.page ? std::string_view(*answer.page) : std::string_view(answer.text));
}

// The whole body as the viewer's policy sets it, or a file's from its descriptor.
void SetWholeBody(TAnswer& answer, THTTPResponseInfo& response)
{
    if (answer.file) {
        const int64_t size = answer.file->size;
        const int fd = answer.file->fd;
        response.ContentStream = std::make_unique<TBodySliceStream>(std::move(answer.file), nullptr, fd, 0, size);
    } else if (answer.page) {
        response.ContentStream = std::make_unique<TSharedPageStream>(std::move(answer.page), answer.pageFile);
    } else {
        response.ContentText = std::move(answer.text);
    }
}

void SetPartOfBody(TAnswer& answer, int64_t first, int64_t count, THTTPResponseInfo& response)
{
    if (answer.file) {
        const int fd = answer.file->fd;
        response.ContentStream = std::make_unique<TBodySliceStream>(std::move(answer.file), nullptr, fd, first, count);
    } else if (answer.page) {
        const char* bytes = answer.page->data() + first;
        response.ContentStream
            = std::make_unique<TBodySliceStream>(std::move(answer.page), bytes, answer.pageFile, first, count);
    } else {
        response.ContentText = answer.text.substr(static_cast<std::size_t>(first), static_cast<std::size_t>(count));
    }
}

bool NotModified(const THTTPRequestInfo& request, std::string_view tag, int64_t lastModified)
{
    if (request.Command != "GET" && request.Command != "HEAD")
        return false;
    const std::string noneMatch = request.Headers.Values("If-None-Match");
    if (!noneMatch.empty())
        return NoneMatchHits(noneMatch, tag);
    if (lastModified <= 0)
        return false;
    const auto since = ParseHttpDate(request.Headers.Values("If-Modified-Since"));
    return since && lastModified <= *since;
}

} // namespace

TWebAnswerPolicy::TWebAnswerPolicy(std::string serverName, std::size_t compressedCacheBytes)
    : serverName_(std::move(serverName))
    , compressed_(std::make_unique<TCompressedBodies>(compressedCacheBytes))
{
}

TWebAnswerPolicy::~TWebAnswerPolicy() = default;

void TWebAnswerPolicy::Write(const THTTPRequestInfo& request, TAnswer answer, THTTPResponseInfo& response) const
{
    response.SetResponseCode(answer.code);
    response.ContentType = std::move(answer.contentType);
    if (!serverName_.empty())
        response.ServerSoftware = serverName_;
    for (auto& [name, value] : answer.headers)
        response.Headers.SetValue(name, value);
    response.Headers.SetValue("Date", HttpDateNow());
    response.Headers.SetValue("Cache-Control", answer.cacheControl.empty() ? "no-cache" : answer.cacheControl);
    if (answer.code == 200)
        WriteOk(request, answer, response);
    else
        SetWholeBody(answer, response);
}

void TWebAnswerPolicy::WriteOk(const THTTPRequestInfo& request, TAnswer& answer, THTTPResponseInfo& response) const
{
    const std::string_view inMemory = answer.page ? std::string_view(*answer.page) : std::string_view(answer.text);
    const int64_t total = answer.file ? answer.file->size : static_cast<int64_t>(inMemory.size());
    const std::string range = request.Headers.Values("Range");

    const bool compressible = !answer.file && IsCompressibleType(response.ContentType);
    TContentCoding coding = TContentCoding::Identity;
    if (compressible && range.empty() && inMemory.size() >= kSmallestCompressedBody)
        coding = ChooseContentCoding(request.Headers.Values("Accept-Encoding"), answer.deflated != nullptr);
    const std::string identityTag = IdentityTag(answer);
    const std::string tag = identityTag + std::string(ContentCodingTagSuffix(coding));

    if (compressible)
        response.Headers.SetValue("Vary", "Accept-Encoding");
    response.Headers.SetValue("ETag", Quoted(tag));
    if (answer.lastModified > 0)
        response.Headers.SetValue("Last-Modified", FormatHttpDate(answer.lastModified));
    if (NotModified(request, tag, answer.lastModified)) {
        response.SetResponseCode(304);
        return;
    }
    if (total > 0)
        response.Headers.SetValue("Accept-Ranges", "bytes");

    if (coding != TContentCoding::Identity) {
        response.Headers.SetValue("Content-Encoding", std::string(ContentCodingName(coding)));
        auto body = coding == TContentCoding::Deflate && answer.deflated
            ? answer.deflated
            : Compressed(inMemory, coding, answer.etag.empty() ? identityTag : TagOfBody(inMemory));
        response.ContentStream = std::make_unique<TSharedBytesStream>(std::move(body));
        return;
    }

    TByteRangeChoice choice;
    const bool ranged = !range.empty() && (request.Command == "GET" || request.Command == "HEAD");
    if (ranged) {
        const std::string ifRange = request.Headers.Values("If-Range");
        if (ifRange.empty() || IfRangeHolds(ifRange, identityTag, answer.lastModified))
            choice = ChooseByteRange(range, total);
    }
    switch (choice.kind) {
    case TByteRangeChoice::Kind::Unsatisfiable:
        response.SetResponseCode(416);
        response.Headers.SetValue("Content-Range", "bytes */" + std::to_string(total));
        return;
    case TByteRangeChoice::Kind::Partial:
        response.SetResponseCode(206);
        response.Headers.SetValue("Content-Range",
            "bytes " + std::to_string(choice.first) + "-" + std::to_string(choice.first + choice.count - 1) + "/"
                + std::to_string(total));
        SetPartOfBody(answer, choice.first, choice.count, response);
        return;
    case TByteRangeChoice::Kind::Whole:
        SetWholeBody(answer, response);
        return;
    }
}

std::shared_ptr<const std::string> TWebAnswerPolicy::Compressed(
    std::string_view body, TContentCoding coding, const std::string& bodyTag) const
{
    const std::string key = bodyTag + std::string(ContentCodingTagSuffix(coding));
    if (auto kept = compressed_->Find(key))
        return kept;
    auto made = std::make_shared<const std::string>(CompressBody(body, coding));
    compressed_->Add(key, made);
    return made;
}
