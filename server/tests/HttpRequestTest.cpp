#include "server/tests/HttpTestSupport.h"

#include <gtest/gtest.h>

namespace {

// What a handler saw of a request.
struct SeenRequest {
    bool called = false;
    std::string document, command, version, rawParams, user, password;
    bool hasAuthorization = false;
    std::vector<std::string> headers, params, cookies;
};

std::vector<std::string> ItemsOf(const TPackedStringList& list)
{
    return list.ToVector();
}

void Record(HttpExchange& http, SeenRequest& seen)
{
    http.listener.OnCommandGet = [&seen](TNetServerThread&, THTTPRequestInfo& request, THTTPResponseInfo& response) {
        seen.called = true;
        seen.document = request.Document;
        seen.command = request.Command;
        seen.version = request.ProtocolVersion;
        seen.rawParams = request.RawParams;
        seen.user = request.AuthUsername;
        seen.password = request.AuthPassword;
        seen.hasAuthorization = request.HasAuthorization;
        seen.headers = ItemsOf(request.Headers);
        seen.params = ItemsOf(request.Params);
        seen.cookies = ItemsOf(request.Cookies);
        response.ContentText = "ok";
    };
}

using Items = std::vector<std::string>;

} // namespace

TEST(HttpRequest, TargetKeepsBlanksAndTheQueryIsDecodedIntoParams)
{
    HttpExchange http;
    SeenRequest seen;
    Record(http, seen);
    http.Serve("get /my page.htm?x=1&y=a+b%21&t=line1%0D%0Aline2&s=%26z HTTP/1.0\r\n\r\n");
    EXPECT_EQ(seen.command, "GET");
    EXPECT_EQ(seen.document, "/my page.htm");
    EXPECT_EQ(seen.version, "HTTP/1.0");
    EXPECT_EQ(seen.rawParams, "x=1&y=a+b%21&t=line1%0D%0Aline2&s=%26z");
    EXPECT_EQ(seen.params, (Items { "x=1", "y=a b!", "t=line1\x1bline2", "s=", "z" }));
}

TEST(HttpRequest, ParamsStayRawWhenParsingIsOff)
{
    HttpExchange http;
    SeenRequest seen;
    Record(http, seen);
    http.listener.ParseParams = false;
    http.Serve("GET /a?x=1 HTTP/1.0\r\n\r\n");
    EXPECT_EQ(seen.rawParams, "x=1");
    EXPECT_TRUE(seen.params.empty());
}

TEST(HttpRequest, PostBodyIsTheParameterTextAndTheQueryStaysInTheDocument)
{
    HttpExchange http;
    SeenRequest seen;
    Record(http, seen);
    const std::string response = http.Serve("POST /f?q=1 HTTP/1.0\r\nContent-Length: 3\r\n\r\na=b");
    EXPECT_EQ(seen.document, "/f?q=1");
    EXPECT_EQ(seen.rawParams, "a=b");
    EXPECT_EQ(seen.params, (Items { "a=b" }));
    EXPECT_TRUE(response.starts_with("HTTP/1.0 200 OK\r\n"));
}

TEST(HttpRequest, PostWithoutAUsableLengthIsDroppedUnanswered)
{
    for (const char* header : { "", "Content-Length: abc\r\n", "Content-Length: -5\r\n" }) {
        HttpExchange http;
        SeenRequest seen;
        Record(http, seen);
        std::string answer = "not served";
        EXPECT_THROW(answer = http.Serve(std::string("POST /f HTTP/1.0\r\n") + header + "\r\nbody"), EConvertError)
            << header;
        EXPECT_FALSE(seen.called);
        EXPECT_EQ(answer, "not served");
    }
}

TEST(HttpRequest, ContinuedHeaderLinesAndCookies)
{
    HttpExchange http;
    SeenRequest seen;
    Record(http, seen);
    http.Serve("GET / HTTP/1.0\r\nX-Long: a\r\n\tb\r\nCookie: a=1; b=2\r\ncookie: c=3\r\n\r\n");
    EXPECT_EQ(seen.headers, (Items { "X-Long=a b", "Cookie=a=1; b=2", "cookie=c=3" }));
    // The lower-case header is not a cookie header: that match is case-sensitive.
    EXPECT_EQ(seen.cookies, (Items { "a=1;", " b=2" }));
}

TEST(HttpRequest, BasicCredentialsInAnyCaseOfTheScheme)
{
    HttpExchange http;
    SeenRequest seen;
    Record(http, seen);
    http.Serve("GET / HTTP/1.0\r\nAuthorization: basic dXNlcjpwYTpzcw==\r\n\r\n"); // user:pa:ss
    EXPECT_TRUE(seen.hasAuthorization);
    EXPECT_EQ(seen.user, "user");
    EXPECT_EQ(seen.password, "pa:ss");

    http.Serve("GET / HTTP/1.0\r\nAUTHORIZATION: BASIC bWU=\r\n\r\n"); // me
    EXPECT_EQ(seen.user, "me");
    EXPECT_EQ(seen.password, "");

    http.Serve("GET / HTTP/1.0\r\n\r\n");
    EXPECT_FALSE(seen.hasAuthorization);
}

TEST(HttpRequest, DigestAuthorizationIsRefusedBeforeTheHandler)
{
    HttpExchange http;
    SeenRequest seen;
    Record(http, seen);
    try {
        http.Serve("GET / HTTP/1.0\r\nAuthorization: Digest x=1\r\n\r\n");
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Unsupported authorization scheme.");
    }
    EXPECT_FALSE(seen.called);
}

TEST(HttpRequest, MalformedRequestLines)
{
    HttpExchange http;
    SeenRequest seen;
    Record(http, seen);
    try {
        http.Serve("GET\r\n\r\n");
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Error in parsing command.");
    }
    EXPECT_FALSE(seen.called);

    http.Serve("GET /a.htm\r\n\r\n"); // no version: the target is taken for it
    EXPECT_EQ(seen.version, "/a.htm");
    EXPECT_EQ(seen.document, "");

    http.Serve("GET /a\rb\nc HTTP/1.0\r\n\r\n"); // lone CR and LF are data
    EXPECT_EQ(seen.document, "/a\rb\nc");

    const std::string longName(20000, 'n');
    http.Serve("GET /" + longName + " HTTP/1.0\r\n\r\n");
    EXPECT_EQ(seen.document, "/" + longName);
}

TEST(HttpRequest, PeerClosingEarlyEndsTheRequestUnanswered)
{
    HttpExchange http;
    SeenRequest seen;
    Record(http, seen);
    EXPECT_THROW(http.Serve(""), ENetConnClosedGraceful);
    EXPECT_THROW(http.Serve("GET / HTTP/1.0"), ENetSocketError); // bytes buffered, no line end
    EXPECT_THROW(http.Serve("GET / HTTP/1.0\r\nHost: a"), ENetSocketError);
    EXPECT_THROW(http.Serve("GET / HTTP/1.0\r\nHost: a\r\n"), ENetConnClosedGraceful); // all lines consumed
    EXPECT_FALSE(seen.called);
}

TEST(HttpRequest, OtherMethodsGoToOnCommandOtherWithoutAnAnswer)
{
    HttpExchange http;
    SeenRequest seen;
    Record(http, seen);
    std::vector<std::string> other;
    http.listener.OnCommandOther
        = [&](TNetServerThread&, const std::string& command, const std::string& data, const std::string& version) {
              other = { command, data, version };
          };
    EXPECT_EQ(http.Serve("options / HTTP/1.0\r\n\r\n"), "");
    EXPECT_EQ(other, (Items { "OPTIONS", "/", "HTTP/1.0" }));
    EXPECT_FALSE(seen.called);

    http.listener.OnCommandGet = nullptr; // then every method is "other"
    EXPECT_EQ(http.Serve("GET /x HTTP/1.0\r\n\r\n"), "");
    EXPECT_EQ(other, (Items { "GET", "/x", "HTTP/1.0" }));
}

TEST(HttpRequest, OnExecuteTakesTheConnectionInsteadOfHttp)
{
    HttpExchange http;
    SeenRequest seen;
    Record(http, seen);
    http.listener.OnExecute = [](TNetServerThread& thread) { thread.Connection()->Write("raw"); };
    EXPECT_EQ(http.Serve("GET / HTTP/1.0\r\n\r\n"), "raw");
    EXPECT_FALSE(seen.called);
}
