#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

// A file sent as an answer's body, read as it goes out (a book served for download may be larger
// than memory, and is sent in byte ranges). The answer owns the descriptor and closes it.
struct TFileBody {
    TFileBody(int descriptor, int64_t bytes)
        : fd(descriptor)
        , size(bytes)
    {
    }
    ~TFileBody()
    {
        if (fd >= 0)
            ::close(fd);
    }
    TFileBody(const TFileBody&) = delete;
    TFileBody& operator=(const TFileBody&) = delete;

    int fd;
    int64_t size;
};

// What the page server answers to one request, before it is written into a response. The code
// that finds pages, searches or refuses says only what the answer is; how it goes out (the status
// line, the standard headers and whatever a server adds to every answer) is its server's
// TAnswerPolicy's alone.
struct TAnswer {
    int32_t code = 200;
    // Empty: no Content-Type header, and the engine tells the type from the bytes.
    std::string contentType = "text/html";
    // The body: a page's bytes, shared with every answer that sends them, when set; else the text.
    std::shared_ptr<const std::string> page;
    int pageFile = -1; // a memory file holding the page's bytes too (TPageLookup's), -1 for none
    std::string text;
    // Headers of this answer alone (a move's Location), in order, one value a name (an empty one
    // leaves the header out); they go before the headers every answer has.
    std::vector<std::pair<std::string, std::string>> headers;

    // What a server speaking HTTP/1.1 to browsers, proxies and caches tells them beyond the body;
    // the viewer's answers ignore it.
    std::string etag; // a strong validator without its quotes; empty: made from the body
    int64_t lastModified = 0; // seconds since the epoch; 0: no Last-Modified
    std::string cacheControl; // empty: "no-cache"
    // The same body in zlib form, as a book stores its pages: HTTP's deflate coding, sent as it is
    // to a client that accepts deflate. Null where the source keeps no such bytes.
    std::shared_ptr<const std::string> deflated;
    // A file sent as the body instead of page or text, read as it goes out.
    std::shared_ptr<const TFileBody> file;
};

// An answer whose body is the text; the server's own texts (not found, refused, failed) are HTML.
inline TAnswer TextAnswer(int32_t code, std::string text, std::string contentType = "text/html")
{
    TAnswer answer;
    answer.code = code;
    answer.contentType = std::move(contentType);
    answer.text = std::move(text);
    return answer;
}
