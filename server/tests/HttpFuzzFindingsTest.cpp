// Requests and handlers that fuzz_http_request found mishandled, kept as regression tests.

#include "server/http/HTTPRequestParsing.h"
#include "server/tests/HttpTestSupport.h"

#include <gtest/gtest.h>

#include <string>

// A realm makes the header go out as 401, which WriteContent answers with the handler's text, not
// with the error body of the code the handler set: the length must describe the text.
TEST(HttpFuzzFindings, RealmOnAnErrorCodeAnnouncesTheBodyThatIsSent)
{
    HttpExchange http;
    http.listener.OnCommandGet = [](TNetServerThread&, THTTPRequestInfo&, THTTPResponseInfo& response) {
        response.SetResponseCode(500);
        response.AuthRealm = "books";
        response.ContentText = "denied";
    };
    const HttpAnswer answer = ParseHttpAnswer(http.Serve("GET / HTTP/1.0\r\n\r\n"));
    EXPECT_EQ(answer.statusLine, "HTTP/1.0 401 Unauthorized");
    EXPECT_EQ(answer.body, "denied");
    EXPECT_EQ(answer.Header("Content-Length"), "6");
}

TEST(HttpFuzzFindings, HandlerFailingAfterSettingARealmAnnouncesTheBodyThatIsSent)
{
    HttpExchange http;
    http.listener.OnCommandGet = [](TNetServerThread&, THTTPRequestInfo&, THTTPResponseInfo& response) {
        response.AuthRealm = "books";
        throw Exception("boom");
    };
    const HttpAnswer answer = ParseHttpAnswer(http.Serve("GET / HTTP/1.0\r\n\r\n"));
    EXPECT_EQ(answer.statusLine, "HTTP/1.0 401 Unauthorized");
    EXPECT_EQ(answer.body, "boom");
    EXPECT_EQ(answer.Header("Content-Length"), std::to_string(answer.body.size()));
}

// A stream answer with an error code and a realm: the stream is what goes out, so it is counted.
TEST(HttpFuzzFindings, RealmOnAnErrorCodeWithAStreamAnnouncesTheStream)
{
    HttpExchange http;
    http.listener.OnCommandGet = [](TNetServerThread&, THTTPRequestInfo&, THTTPResponseInfo& response) {
        response.SetResponseCode(503);
        response.AuthRealm = "books";
        auto page = std::make_unique<TMemoryStream>();
        page->WriteString("page bytes");
        response.ContentStream = std::move(page);
    };
    const HttpAnswer answer = ParseHttpAnswer(http.Serve("GET / HTTP/1.0\r\n\r\n"));
    EXPECT_EQ(answer.body, "page bytes");
    EXPECT_EQ(answer.Header("Content-Length"), "10");
}

// Splitting cut the rest of the header again for every entry: a long cookie header took quadratic
// time (a 60 KB header already took a second under the sanitizers). This 30 MB header would take
// over ten minutes that way, and so fail by the test's time limit; split in one pass it takes a
// fraction of a second.
TEST(HttpFuzzFindings, AThirtyMegabyteCookieHeaderIsSplitInOnePass)
{
    constexpr int kCookies = 200000;
    const std::string value(150, 'v');
    std::string header = "Cookie=";
    // Appended piece by piece: GCC 12 at -O3 flags `"c" + std::to_string(i)` with a false
    // -Wrestrict, which broke the Release build.
    for (int i = 0; i < kCookies; ++i) {
        header += 'c';
        header += std::to_string(i);
        header += ": ";
        header += value;
        header += "; ";
    }
    header += "last: v";
    ASSERT_GT(header.size(), 30'000'000u);
    TPackedStringList headers;
    headers.Add(header);
    TPackedStringList cookies;
    ExtractCookies(headers, cookies);
    ASSERT_EQ(cookies.Count(), kCookies + 1);
    EXPECT_EQ(cookies[0], "c0=" + value + ";");
    EXPECT_EQ(cookies[1], " c1=" + value + ";");
    EXPECT_EQ(cookies[kCookies - 1], std::string(" c").append(std::to_string(kCookies - 1)) + "=" + value + ";");
    EXPECT_EQ(cookies[kCookies], " last=v");
}
