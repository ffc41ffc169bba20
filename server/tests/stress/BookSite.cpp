#include "server/tests/stress/BookSite.h"

#include "book/BookWriter.h"
#include "pageservice/AnswerPolicy.h"
#include "pageservice/PageService.h"
#include "server/tests/SocketTestSupport.h"

#include <cstdint>
#include <stdexcept>

namespace {

// Text that compresses like a real page but is not one repeated run.
std::string PageText(size_t size, uint32_t seed)
{
    static const char kWords[] = "the quick brown fox jumps over a lazy dog <p> chapter verse &amp; </p>\r\n";
    std::string text;
    text.reserve(size);
    uint32_t state = seed;
    while (text.size() < size) {
        state = state * 1664525u + 1013904223u;
        const size_t at = (state >> 16) % (sizeof kWords - 9);
        text.append(kWords + at, 1 + (state >> 8) % 8);
    }
    text.resize(size);
    return text;
}

std::string OkAnswer(const std::string& body)
{
    return "HTTP/1.0 200 OK\r\nServer: NetServer/1.000\r\nContent-Type: text/html\r\nContent-Length: "
        + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string NotFoundAnswer()
{
    const std::string body(kPageNotFoundText);
    return "HTTP/1.0 404 Not Found\r\nServer: NetServer/1.000\r\nContent-Type: text/html\r\nContent-Length: "
        + std::to_string(body.size()) + "\r\n\r\n" + body;
}

} // namespace

BookSite::BookSite()
{
    const std::string big = PageText(1536 * 1024, 7);
    const std::string small = "<html><body>Chapter one</body></html>";
    const std::string medium = PageText(120000, 11);
    const std::string blank = "a page whose name holds a blank";

    TBookWriter writer;
    writer.compressionLevel = 1;
    writer.AddPage("/big.htm", big);
    writer.AddPage("/index.htm", small);
    writer.AddPage("/chapter.htm", medium);
    writer.AddPage("/My Page.htm", blank);
    writer.AddEmptyPage("/empty.htm");
    writer.SaveToStream(book_);
    if (!reader_.LoadFromStream(book_))
        throw std::runtime_error("the stress book does not load");

    bigPage_ = { "GET /big.htm HTTP/1.0\r\n\r\n", OkAnswer(big) };
    exchanges_ = {
        { "GET /index.htm HTTP/1.0\r\nHost: 127.0.0.1\r\nUser-Agent: stress\r\n\r\n", OkAnswer(small) },
        { "GET /chapter.htm?part=2&x=a+b HTTP/1.0\r\nCookie: a=1; b=2\r\n\r\n", OkAnswer(medium) },
        { "GET /My%20Page.htm HTTP/1.0\r\n\r\n", OkAnswer(blank) },
        { "HEAD /empty.htm HTTP/1.0\r\n\r\n", OkAnswer("") },
        { "POST /index.htm HTTP/1.0\r\nContent-Length: 7\r\n\r\na=1&b=2", OkAnswer(small) },
        { "GET /missing.htm HTTP/1.0\r\n\r\n", NotFoundAnswer() },
    };
    listener_.OnCommandGet = [this](TNetServerThread&, THTTPRequestInfo& request, THTTPResponseInfo& response) {
        TAnswerPolicy().Write(request, AnswerPageRequest(pages_, request), response);
    };
}

int BookSite::Start()
{
    port_ = ActivateOnFreePort(listener_);
    return port_;
}
