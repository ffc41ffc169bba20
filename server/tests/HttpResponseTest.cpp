#include "server/tests/HttpTestSupport.h"

#include <gtest/gtest.h>

namespace {

const std::string kNotFoundText = "<h2>HTTP Error 404</h2><p><strong>404 Not Found</strong></p>";

std::unique_ptr<TMemoryStream> StreamOf(const std::string& bytes)
{
    auto stream = std::make_unique<TMemoryStream>();
    stream->WriteString(bytes);
    return stream;
}

// A stream that says when it is freed.
class WatchedStream : public TMemoryStream {
public:
    explicit WatchedStream(bool& freed)
        : freed_(freed)
    {
    }
    ~WatchedStream() override { freed_ = true; }

private:
    bool& freed_;
};

} // namespace

TEST(HttpResponseWire, PageStreamWithoutContentType)
{
    HttpExchange http;
    http.listener.OnCommandGet = [](TNetServerThread&, THTTPRequestInfo&, THTTPResponseInfo& response) {
        response.SetResponseCode(200);
        auto page = StreamOf("<html>page</html>");
        page->SetPosition(5); // the listener sends from the start
        response.ContentStream = std::move(page);
        response.ContentType.clear();
    };
    const std::string expected = "HTTP/1.0 200 OK\r\nServer: NetServer/1.000\r\nContent-Length: 17\r\n\r\n"
                                 "<html>page</html>";
    EXPECT_EQ(http.Serve("GET /index.htm HTTP/1.0\r\n\r\n"), expected);
    EXPECT_EQ(http.Serve("HEAD /index.htm HTTP/1.0\r\n\r\n"), expected);
}

TEST(HttpResponseWire, NotFoundTextWithItsLength)
{
    HttpExchange http;
    http.listener.OnCommandGet = [](TNetServerThread&, THTTPRequestInfo&, THTTPResponseInfo& response) {
        response.SetResponseCode(404);
        response.ContentText = kNotFoundText;
    };
    EXPECT_EQ(http.Serve("GET /missing.htm HTTP/1.0\r\n\r\n"),
        "HTTP/1.0 404 Not Found\r\nServer: NetServer/1.000\r\nContent-Type: text/html\r\nContent-Length: 60\r\n\r\n"
            + kNotFoundText);
}

TEST(HttpResponseWire, FailingHandlerIsAnsweredWithAnErrorBody)
{
    HttpExchange http;
    http.listener.OnCommandGet
        = [](TNetServerThread&, THTTPRequestInfo&, THTTPResponseInfo&) { throw Exception("boom"); };
    const std::string body = "<B>500 Internal Server Error</B><P>boom\r\n";
    EXPECT_EQ(http.Serve("GET / HTTP/1.0\r\n\r\n"),
        "HTTP/1.0 500 Internal Server Error\r\nServer: NetServer/1.000\r\nContent-Type: text/html\r\nContent-Length: "
            + std::to_string(body.size()) + "\r\n\r\n" + body);
}

TEST(HttpResponseWire, AServersOwnFailureAnswerReplacesTheDefaultOne)
{
    HttpExchange http;
    http.listener.OnCommandGet
        = [](TNetServerThread&, THTTPRequestInfo&, THTTPResponseInfo&) { throw Exception("boom"); };
    http.listener.OnCommandError = [](TNetServerThread&, const THTTPRequestInfo& request, const std::exception& error,
                                       THTTPResponseInfo& response) {
        response.SetResponseCode(404);
        response.Headers.SetValue("X-Failed", error.what());
        response.ContentText = request.Document;
    };
    EXPECT_EQ(http.Serve("GET /page.htm?a=1 HTTP/1.0\r\n\r\n"),
        "HTTP/1.0 404 Not Found\r\nX-Failed: boom\r\nServer: NetServer/1.000\r\nContent-Type: text/html\r\n"
        "Content-Length: 9\r\n\r\n/page.htm");
    // A failure to answer the failure is the session's own, as any other failure to answer.
    http.listener.OnCommandError = [](TNetServerThread&, const THTTPRequestInfo&, const std::exception&,
                                       THTTPResponseInfo&) { throw Exception("again"); };
    EXPECT_THROW(http.Serve("GET / HTTP/1.0\r\n\r\n"), Exception);
}

TEST(HttpResponseWire, RealmTurnsTheAnswerIntoABasicChallengeWithCookiesLast)
{
    HttpExchange http;
    http.listener.ServerSoftware = "Shelf/2";
    http.listener.OnCommandGet = [](TNetServerThread&, THTTPRequestInfo&, THTTPResponseInfo& response) {
        response.AuthRealm = "books";
        response.Headers.SetValue("X-First", "1");
        response.Cookies.Add("id=7; Path=/");
        response.ContentText = "denied";
    };
    EXPECT_EQ(http.Serve("GET / HTTP/1.0\r\n\r\n"),
        "HTTP/1.0 401 Unauthorized\r\nX-First: 1\r\nServer: Shelf/2\r\nContent-Type: text/html\r\n"
        "Content-Length: 6\r\nWWW-Authenticate: Basic realm=\"books\"\r\nSet-Cookie: id=7; Path=/\r\n\r\ndenied");
}

TEST(HttpResponseWire, NothingSetGivesHeaderOnlyAndBlankServerTextIsIgnored)
{
    HttpExchange http;
    http.listener.ServerSoftware = " \t";
    http.listener.OnCommandGet = [](TNetServerThread&, THTTPRequestInfo&, THTTPResponseInfo&) {};
    EXPECT_EQ(http.Serve("GET / HTTP/1.0\r\n\r\n"),
        "HTTP/1.0 200 OK\r\nServer: NetServer/1.000\r\nContent-Type: text/html\r\n\r\n");
}

TEST(HttpResponseWire, TextWinsOverAStreamAndTheStreamIsFreed)
{
    HttpExchange http;
    bool freed = false;
    http.listener.OnCommandGet = [&](TNetServerThread&, THTTPRequestInfo&, THTTPResponseInfo& response) {
        auto stream = std::make_unique<WatchedStream>(freed);
        stream->WriteString("stream body");
        response.ContentStream = std::move(stream);
        response.ContentText = "text";
    };
    EXPECT_EQ(http.Serve("GET / HTTP/1.0\r\n\r\n"),
        "HTTP/1.0 200 OK\r\nServer: NetServer/1.000\r\nContent-Type: text/html\r\nContent-Length: 4\r\n\r\ntext");
    EXPECT_TRUE(freed);
}

TEST(HttpResponseWire, ServerErrorWithAStreamSendsTheErrorBodyOnly)
{
    HttpExchange http;
    http.listener.OnCommandGet = [](TNetServerThread&, THTTPRequestInfo&, THTTPResponseInfo& response) {
        response.SetResponseCode(503);
        response.ContentStream = StreamOf("not sent");
    };
    const std::string body = "<B>503 Service Unavailable</B><P>\r\n";
    EXPECT_EQ(http.Serve("GET / HTTP/1.0\r\n\r\n"),
        "HTTP/1.0 503 Service Unavailable\r\nServer: NetServer/1.000\r\nContent-Type: text/html\r\nContent-Length: "
            + std::to_string(body.size()) + "\r\n\r\n" + body);
}

TEST(HttpResponseWire, StreamIsFreedWhenThePeerIsGone)
{
    HttpExchange http;
    bool freed = false;
    http.listener.OnCommandGet = [&](TNetServerThread&, THTTPRequestInfo&, THTTPResponseInfo& response) {
        auto stream = std::make_unique<WatchedStream>(freed);
        stream->WriteString(std::string(100000, 'p'));
        response.ContentStream = std::move(stream);
    };
    EXPECT_THROW(http.Serve("GET / HTTP/1.0\r\n\r\n", true), ENetSocketError);
    EXPECT_TRUE(freed);
}

TEST(HttpResponseInfo, ReasonPhrasesAndDefaults)
{
    TNetServer connection(nullptr);
    THTTPResponseInfo response(connection);
    EXPECT_EQ(response.ResponseCode, 200);
    EXPECT_EQ(response.ResponseText, "OK");
    EXPECT_EQ(response.ContentLength, -1);
    const std::pair<int, const char*> phrases[] = { { 203, "Non-authoritative Information" },
        { 302, "Moved Temporarily" }, { 405, "Methode not allowed" }, { 413, "Request Entity To Long" },
        { 414, "Request-URI Too Long" }, { 504, "Gateway timeout" }, { 505, "HTTP version not supported" },
        { 100, "Unknown Response Code" }, { 300, "Unknown Response Code" }, { 402, "Unknown Response Code" } };
    for (const auto& [code, text] : phrases) {
        response.SetResponseCode(code);
        EXPECT_EQ(response.ResponseText, text) << code;
    }
}

TEST(HttpResponseInfo, HeaderGoesOutOnceWithTheLengthAndErrorCodesWrapTheText)
{
    SocketPair pair;
    TNetServer connection(nullptr);
    connection.SetSocket(pair.ReleaseServer());
    THTTPResponseInfo response(connection);
    response.ContentLength = 0;
    response.ServerSoftware.clear();
    response.WriteHeader();
    try {
        response.WriteHeader();
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Header has already been written.");
    }
    for (const int code : { 404, 199, 600 }) {
        response.SetResponseCode(code);
        response.ContentText = "t";
        response.WriteContent();
    }
    connection.Disconnect();
    EXPECT_EQ(ReadUntilClosed(pair.Peer()),
        "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: 0\r\n\r\n"
        "t<B>199 Unknown Response Code</B><P>t\r\n<B>600 Unknown Response Code</B><P>t\r\n");
}
