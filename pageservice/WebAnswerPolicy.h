#pragma once

#include "pageservice/AnswerPolicy.h"
#include "pageservice/ContentCoding.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

class TCompressedBodies;

// How `ebook-pack serve` writes its answers for browsers, proxies and caches (the viewer keeps
// TAnswerPolicy's bytes). Every answer gets Date and Cache-Control (the answer's, "no-cache" when
// it names none). A 200 also gets a strong ETag (the answer's, else one made from the body or, for
// a file, from its size and time), Last-Modified when the answer has a time, and Accept-Ranges;
// then, in this order:
// - If-None-Match naming the representation's tag, or "*" (or, without If-None-Match, an
//   If-Modified-Since not older than the answer's time) answers 304 without a body;
// - a text type (IsCompressibleType) of 256 bytes or more, requested without Range, goes out in
//   the coding the client accepts (ChooseContentCoding): the answer's stored zlib bytes as they
//   are for deflate, else a compressed body, kept for the next request of the same tag. Such
//   answers carry Vary: Accept-Encoding whatever the coding, and a coded representation's tag has
//   the coding's suffix;
// - one byte range (ChooseByteRange), unless an If-Range does not hold, answers 206 with
//   Content-Range, or 416 with "Content-Range: bytes */total" when it lies beyond the body;
// - else the whole body. A file body is sent from its descriptor, ranges included.
// Other codes (moves, 404, the refusal's 403, 500, 503) keep their status, headers and text.
class TWebAnswerPolicy : public TAnswerPolicy {
public:
    // serverName, when not empty, replaces the listener's Server value; compressedCacheBytes bounds
    // the compressed bodies kept.
    explicit TWebAnswerPolicy(std::string serverName = {}, std::size_t compressedCacheBytes = 16u << 20);
    ~TWebAnswerPolicy() override;

    void Write(const THTTPRequestInfo& request, TAnswer answer, THTTPResponseInfo& response) const override;

private:
    void WriteOk(const THTTPRequestInfo& request, TAnswer& answer, THTTPResponseInfo& response) const;
    // The body in the coding, made once while it is kept. Kept by a tag of the body itself (its
    // CRC-32 and length), not the answer's tag: an answer's tag need not tell bodies apart.
    std::shared_ptr<const std::string> Compressed(
        std::string_view body, TContentCoding coding, const std::string& bodyTag) const;

    std::string serverName_;
    std::unique_ptr<TCompressedBodies> compressed_;
};
