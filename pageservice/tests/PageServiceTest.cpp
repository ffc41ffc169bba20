#include "pageservice/PageService.h"
#include "book/BookReader.h"
#include "book/BookWriter.h"
#include "pageservice/AnswerPolicy.h"
#include "pageservice/ContentTypes.h"
#include "pageservice/ServedPages.h"
#include "server/http/HTTPListener.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include <sys/socket.h>
#include <unistd.h>

namespace {

// A page large enough that a kept copy is sent from a memory file, small enough for a socket
// pair's buffer.
std::string LargePage()
{
    std::string text;
    for (int i = 0; text.size() < 90000; ++i)
        text += "<p>paragraph " + std::to_string(i * 7919 % 1000) + "</p>\n";
    return text;
}

// How a server hands out the pages: the viewer's way (every page inflated afresh, shared only while
// in flight) or serve's default (inflated pages kept in a cache). Every answer must be the same.
struct PageServing {
    const char* name;
    std::size_t cacheBytes;
};

void PrintTo(const PageServing& serving, std::ostream* out)
{
    *out << serving.name;
}

// A book in memory with a page whose name holds a blank, an empty page, pages stored under a
// literal "%41" and "%C3%A9", pages with Windows-1252 letters, and a page whose record is damaged,
// answered through the one answer path.
class PageServiceTest : public ::testing::TestWithParam<PageServing> {
protected:
    void SetUp() override
    {
        TBookWriter writer;
        writer.AddPage("/index.htm", "<html>home</html>");
        writer.AddPage("/My Page.htm", "blank in the name");
        writer.AddPage("/a%41.htm", "literal escape");
        writer.AddEmptyPage("/empty.htm");
        writer.AddPage("/caf\xE9.htm", "accented");
        writer.AddPage("/caf%C3%A9.htm", "stored escaped");
        writer.AddPage("/r\xE9sum\xE9 2.htm", "accented with a blank");
        writer.AddPage("/broken.htm", std::string(4000, 'x'));
        writer.AddPage("/style.CSS", "p{}");
        writer.AddPage("/logo.svg", "<svg xmlns='http://www.w3.org/2000/svg'/>");
        writer.AddPage("/notes.unknown", "raw");
        writer.AddPage("/large.htm", LargePage());
        writer.AddPage("/t%C3%A9.htm", std::string(4000, 'y'));
        writer.AddPage("/t\xE9.htm", "the decoded name");
        writer.AddPage("/guide/index.html", "guide home");
        writer.AddPage("/old/index.htm", "old home");
        writer.AddPage("/img/a.png", "png");
        writer.AddPage("/two//slashes.htm", "exact");
        writer.AddPage("/two/slashes.htm", "merged");
        writer.AddPage("/notes.txt", "Humans\xE2\x84\xA2");
        writer.SaveToStream(book_);
        // Flip a byte inside the last record's zlib data: its Adler-32 no longer matches.
        reader_.LoadFromStream(book_);
        const int broken = reader_.IndexOfPage("/broken.htm");
        book_.Memory()[reader_.PageOffset(broken) + 12] ^= 0x55;
        book_.Memory()[reader_.PageOffset(reader_.IndexOfPage("/t%C3%A9.htm")) + 12] ^= 0x55;
        ASSERT_TRUE(reader_.IsValid());
        pages_ = std::make_unique<TServedPages>(reader_, 1 << 20, GetParam().cacheBytes);
        listener_.OnCommandGet = [this](TNetServerThread&, THTTPRequestInfo& request, THTTPResponseInfo& response) {
            TAnswerPolicy().Write(request, AnswerPageRequest(*pages_, request), response);
        };
    }

    // One request through the listener's own handling over a socket pair, as a session would run it.
    std::string Request(const std::string& request)
    {
        int ends[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
        auto connection = std::make_unique<TNetServer>(&listener_);
        connection->SetSocket(ends[0]);
        TNetServerThread thread(std::move(connection));
        EXPECT_EQ(::write(ends[1], request.data(), request.size()), static_cast<ssize_t>(request.size()));
        // The end of the request, as a client that is done sending: the close after the answer
        // then need not wait for this end to close.
        ::shutdown(ends[1], SHUT_WR);
        listener_.HandleConnection(thread);
        std::string response;
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(ends[1], buffer, sizeof buffer)) > 0)
            response.append(buffer, static_cast<std::size_t>(n));
        ::close(ends[1]);
        return response;
    }

    TMemoryStream book_;
    TBookReader reader_;
    std::unique_ptr<TServedPages> pages_;
    TNetHTTPListener listener_ { nullptr };
};

} // namespace

const std::string kNotFound = "HTTP/1.0 404 Not Found\r\nServer: NetServer/1.000\r\nContent-Type: text/html\r\n"
                              "Content-Length: 60\r\n\r\n<h2>HTTP Error 404</h2><p><strong>404 Not Found</strong></p>";

std::string Found(const std::string& type, const std::string& body)
{
    return "HTTP/1.0 200 OK\r\nServer: NetServer/1.000\r\n" + (type.empty() ? "" : "Content-Type: " + type + "\r\n")
        + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

INSTANTIATE_TEST_SUITE_P(ViewerAndServe, PageServiceTest,
    ::testing::Values(PageServing { "EveryPageAfresh", 0 }, PageServing { "KeptInACache", 1 << 20 }),
    [](const auto& serving) { return std::string(serving.param.name); });

TEST(PageName, OnlyPercentTwentyIsDecoded)
{
    EXPECT_EQ(PageNameFromDocument("/My%20Page.htm"), "/My Page.htm");
    EXPECT_EQ(PageNameFromDocument("/a%41.htm"), "/a%41.htm");
    EXPECT_EQ(PageNameFromDocument("/My%2520Page.htm"), "/My%2520Page.htm");
    EXPECT_EQ(PageNameFromDocument("/a+b.htm"), "/a+b.htm");
    EXPECT_EQ(PageURL("127.0.0.1", 11532, "/My Page.htm"), "http://127.0.0.1:11532/My Page.htm");
}

TEST(PageName, EscapedDocumentIsDecodedInFullAndBackToTheCodePage)
{
    EXPECT_EQ(PageNameFromEscapedDocument("/caf%C3%A9.htm"), "/caf\xE9.htm");
    EXPECT_EQ(PageNameFromEscapedDocument("/caf%E9.htm"), "/caf\xE9.htm") << "not UTF-8: the bytes as sent";
    EXPECT_EQ(PageNameFromEscapedDocument("/%E2%82%AC%22q%22.htm"), "/\x80\"q\".htm");
    EXPECT_EQ(PageNameFromEscapedDocument("/100%.htm"), std::nullopt) << "a lone percent is kept and changes nothing";
    EXPECT_EQ(PageNameFromEscapedDocument("/a%4"), std::nullopt);
    EXPECT_EQ(PageNameFromEscapedDocument("/My%20Page.htm"), std::nullopt) << "the first lookup already tried it";
    EXPECT_EQ(PageNameFromEscapedDocument("/a+b%2Bc.htm"), "/a+b+c.htm");
}

TEST(ContentTypes, TheExtensionDecidesAndAnUnknownOneHasNone)
{
    EXPECT_EQ(ContentTypeForPage("/index.htm"), "text/html");
    EXPECT_EQ(ContentTypeForPage("/a/b/Chapter.HTML"), "text/html");
    EXPECT_EQ(ContentTypeForPage("/book.xhtml"), "application/xhtml+xml");
    EXPECT_EQ(ContentTypeForPage("/app.mjs"), "text/javascript");
    EXPECT_EQ(ContentTypeForPage("/logo.svg"), "image/svg+xml");
    EXPECT_EQ(ContentTypeForPage("/fonts/x.woff2"), "font/woff2");
    EXPECT_EQ(ContentTypeForPage("/archive.tar.gz"), "");
    EXPECT_EQ(ContentTypeForPage("/README"), "") << "no extension";
    EXPECT_EQ(ContentTypeForPage("/v1.2/README"), "") << "a dot in a folder name is no extension";
    EXPECT_EQ(ContentTypeForPage("/trailing."), "");
}

TEST(ContentTypes, TextOtherThanHtmlNamesUtf8WhenItsBytesAreUtf8)
{
    const std::string utf8 = "Humans\xE2\x84\xA2";
    EXPECT_EQ(ContentTypeForAnswer("/a.txt", utf8), "text/plain; charset=utf-8");
    EXPECT_EQ(ContentTypeForAnswer("/a.md", utf8), "text/markdown; charset=utf-8");
    EXPECT_EQ(ContentTypeForAnswer("/a.css", utf8), "text/css; charset=utf-8");
    EXPECT_EQ(ContentTypeForAnswer("/a.csv", utf8), "text/csv; charset=utf-8");
    EXPECT_EQ(ContentTypeForAnswer("/a.txt", "plain ASCII"), "text/plain") << "nothing to tell";
    EXPECT_EQ(ContentTypeForAnswer("/a.txt", "caf\xE9"), "text/plain") << "not UTF-8: left to the engine";
    EXPECT_EQ(ContentTypeForAnswer("/a.htm", utf8), "text/html") << "HTML declares its own";
    EXPECT_EQ(ContentTypeForAnswer("/a.png", utf8), "image/png");
}

TEST_P(PageServiceTest, AttachedServerAnswersFoundPagesWithTheirTypeAndLength)
{
    for (int round = 0; round < 2; ++round) { // the second round is answered from the cache, where kept
        EXPECT_EQ(Request("GET /My%20Page.htm HTTP/1.0\r\n\r\n"), Found("text/html", "blank in the name"));
        EXPECT_EQ(Request("GET /INDEX.HTM?x=1 HTTP/1.0\r\nHost: a\r\n\r\n"), Found("text/html", "<html>home</html>"));
        EXPECT_EQ(Request("GET /a%41.htm HTTP/1.0\r\n\r\n"), Found("text/html", "literal escape"));
        EXPECT_EQ(Request("GET /empty.htm HTTP/1.0\r\n\r\n"), Found("text/html", ""));
        EXPECT_EQ(Request("GET /style.css HTTP/1.0\r\n\r\n"), Found("text/css", "p{}"));
        EXPECT_EQ(Request("GET /logo.svg HTTP/1.0\r\n\r\n"),
            Found("image/svg+xml", "<svg xmlns='http://www.w3.org/2000/svg'/>"));
        EXPECT_EQ(Request("GET /notes.unknown HTTP/1.0\r\n\r\n"), Found("", "raw")) << "the engine tells the type";
        EXPECT_EQ(Request("GET /large.htm HTTP/1.0\r\n\r\n"), Found("text/html", LargePage()));
        // Every method routed to the handler is answered alike.
        EXPECT_EQ(Request("HEAD /index.htm HTTP/1.0\r\n\r\n"), Found("text/html", "<html>home</html>"));
        EXPECT_EQ(Request("POST /index.htm HTTP/1.0\r\nContent-Length: 3\r\n\r\na=b"),
            Found("text/html", "<html>home</html>"));
    }
}

TEST_P(PageServiceTest, MissingOrDamagedPageGetsTheNotFoundAnswer)
{
    EXPECT_EQ(Request("GET /missing.htm HTTP/1.0\r\n\r\n"), kNotFound);
    EXPECT_EQ(Request("GET /broken.htm HTTP/1.0\r\n\r\n"), kNotFound);
    // A double-escaped blank is looked up as written, not as "/My Page.htm".
    EXPECT_EQ(Request("GET /My%2520Page.htm HTTP/1.0\r\n\r\n"), kNotFound);
    // The damaged page does not disturb the next extraction.
    EXPECT_EQ(Request("GET /index.htm HTTP/1.0\r\n\r\n"), Found("text/html", "<html>home</html>"));
}

TEST_P(PageServiceTest, NamesTheBrowserEscapesAreFoundAfterTheNamesAsWritten)
{
    auto body = [&](const std::string& document) {
        const std::string response = Request("GET " + document + " HTTP/1.0\r\n\r\n");
        return response.starts_with("HTTP/1.0 200") ? response.substr(response.find("\r\n\r\n") + 4) : "none";
    };
    EXPECT_EQ(body("/CAF%E9.HTM"), "accented");
    EXPECT_EQ(body("/caf%E9.htm"), "accented");
    EXPECT_EQ(body("/caf%C3%A9.htm"), "stored escaped") << "the name as written wins";
    EXPECT_EQ(body("/r%C3%A9sum%C3%A9%202.htm"), "accented with a blank");
    EXPECT_EQ(body("/caf%C3%A8.htm"), "none");
    // The name as written is stored, damaged: it decides, and the decoded name is not tried.
    EXPECT_EQ(body("/t%C3%A9.htm"), "none");
    EXPECT_EQ(body("/t%E9.htm"), "the decoded name");
}

TEST_P(PageServiceTest, FoldersAndDoubledSlashesAreFoundAsAStaticServerFindsThem)
{
    EXPECT_EQ(Request("GET /guide/ HTTP/1.0\r\n\r\n"), Found("text/html", "guide home"));
    EXPECT_EQ(Request("GET /old/ HTTP/1.0\r\n\r\n"), Found("text/html", "old home")) << "index.htm after index.html";
    EXPECT_EQ(Request("GET / HTTP/1.0\r\n\r\n"), Found("text/html", "<html>home</html>"));
    EXPECT_EQ(Request("GET //guide// HTTP/1.0\r\n\r\n"), Found("text/html", "guide home"));
    EXPECT_EQ(Request("GET /img//a.png HTTP/1.0\r\n\r\n"), Found("image/png", "png"));
    EXPECT_EQ(Request("GET /two//slashes.htm HTTP/1.0\r\n\r\n"), Found("text/html", "exact")) << "exact names win";
    EXPECT_EQ(Request("GET /two///slashes.htm HTTP/1.0\r\n\r\n"), Found("text/html", "merged"));
    // Without its slash the folder's relative links would resolve one level up: the browser is sent on.
    const std::string moved = Request("GET /guide HTTP/1.0\r\n\r\n");
    EXPECT_TRUE(moved.starts_with("HTTP/1.0 301 ")) << moved;
    EXPECT_NE(moved.find("\r\nLocation: /guide/\r\n"), std::string::npos) << moved;
    EXPECT_EQ(Request("GET /missing/ HTTP/1.0\r\n\r\n"), kNotFound);
    EXPECT_EQ(Request("GET /img HTTP/1.0\r\n\r\n"), kNotFound) << "a folder without a page";
    // Text other than HTML names UTF-8 when its bytes are UTF-8.
    EXPECT_EQ(Request("GET /notes.txt HTTP/1.0\r\n\r\n"), Found("text/plain; charset=utf-8", "Humans\xE2\x84\xA2"));
}

TEST_P(PageServiceTest, KeptPagesAreAnsweredWithoutReadingTheBookAgain)
{
    const std::string first = Request("GET /My%20Page.htm HTTP/1.0\r\n\r\n");
    // Wreck the whole book: a page already kept is still answered, one never asked for is not.
    std::fill(book_.Memory(), book_.Memory() + book_.Size() - 4, '\xAA');
    EXPECT_EQ(Request("GET /my%20page.HTM HTTP/1.0\r\n\r\n"), GetParam().cacheBytes > 0 ? first : kNotFound);
    EXPECT_EQ(Request("GET /index.htm HTTP/1.0\r\n\r\n"), kNotFound);
}

TEST_P(PageServiceTest, AClientGoneBeforeItsAnswerEndsOnlyItsConnection)
{
    const std::string large = Request("GET /large.htm HTTP/1.0\r\n\r\n"); // kept, where a cache is
    for (int i = 0; i < 3; ++i) {
        int ends[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
        auto connection = std::make_unique<TNetServer>(&listener_);
        connection->SetSocket(ends[0]);
        TNetServerThread thread(std::move(connection));
        const std::string request = "GET /large.htm HTTP/1.0\r\n\r\n";
        ASSERT_EQ(::write(ends[1], request.data(), request.size()), static_cast<ssize_t>(request.size()));
        ::close(ends[1]);
        // The session's failure to send is its own; the process goes on (no SIGPIPE).
        try {
            listener_.HandleConnection(thread);
        } catch (const std::exception&) {
        }
    }
    EXPECT_EQ(Request("GET /large.htm HTTP/1.0\r\n\r\n"), large);
}
