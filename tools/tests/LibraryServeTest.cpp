#include "common/PackedStringList.h"
#include "pageservice/RequestScreen.h"
#include "server/tests/SocketTestSupport.h"
#include "tools/tests/LibraryFixture.h"
#include "tools/tests/PackFixture.h"
#include "tools/tests/ServeProcess.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

int PortOf(const std::string& url)
{
    const std::size_t colon = url.rfind(':');
    return colon == std::string::npos ? 0 : std::atoi(url.c_str() + colon + 1);
}

bool Refused(const TRequestScreen& screen, const std::string& headerLines, int32_t port = 11500)
{
    TPackedStringList headers;
    headers.SetText(headerLines);
    return screen.Refuses(headers, port);
}

} // namespace

TEST(LibraryServe, SeveralBooksAreServedEachUnderItsNameWithALogLine)
{
    LibraryFixture fixture;
    const std::string guide = (fixture.scratch / "books/User Guide.ebook").string();
    ServeProcess serve({ guide, (fixture.scratch / "books/novel.epub").string(),
        (fixture.scratch / "books/wiki.zim").string(), (fixture.scratch / "notes").string(), "--url-root", "/library",
        "--log", "--allow-host", "books.example", "--allow-host", "other.example:8080" });
    const std::string url = serve.FirstLine();
    const int port = PortOf(url);
    ASSERT_EQ(url, "http://127.0.0.1:" + std::to_string(port) + "/library/\n");

    const HttpAnswer chapter
        = ParseHttpAnswer(Exchange(port, "GET /library/user-guide/sub/chapter.html HTTP/1.0\r\n\r\n"));
    EXPECT_EQ(chapter.code, 200);
    EXPECT_EQ(chapter.body, SampleChapterPage());
    const std::string log = serve.NextLine();
    EXPECT_NE(log.find("\"GET /library/user-guide/sub/chapter.html HTTP/1.0\" 200 "
                  + std::to_string(SampleChapterPage().size()) + " \"user-guide\""),
        std::string::npos)
        << log;
    // The connection's own address; a proxy on this machine names the reader it forwards.
    EXPECT_TRUE(log.starts_with("127.0.0.1 ")) << log;
    Exchange(
        port, "GET /library/user-guide/sub/chapter.html HTTP/1.0\r\nX-Forwarded-For: 203.0.113.7, 10.0.0.1\r\n\r\n");
    const std::string forwarded = serve.NextLine();
    EXPECT_TRUE(forwarded.starts_with("203.0.113.7 ")) << forwarded;

    const HttpAnswer home = ParseHttpAnswer(Exchange(port, "GET /library/wiki/ HTTP/1.0\r\n\r\n"));
    EXPECT_EQ(home.code, 301);
    EXPECT_TRUE(home.Header("Location").value_or("").starts_with("/library/wiki/")) << home.statusLine;
    EXPECT_EQ(ParseHttpAnswer(Exchange(port, "GET /library/notes/index.html HTTP/1.0\r\n\r\n")).code, 200);
    EXPECT_EQ(ParseHttpAnswer(Exchange(port, "GET /library/novel/OEBPS/index.xhtml HTTP/1.0\r\n\r\n")).code, 200);
    EXPECT_EQ(ParseHttpAnswer(Exchange(port, "GET /novel/OEBPS/index.xhtml HTTP/1.0\r\n\r\n")).code, 404);

    // A proxy in front names the server as the reader did, without this port.
    const std::string page = "GET /library/notes/index.html HTTP/1.1\r\nConnection: close\r\n";
    EXPECT_EQ(ParseHttpAnswer(Exchange(port, page + "Host: books.example\r\n\r\n")).code, 200);
    EXPECT_EQ(ParseHttpAnswer(Exchange(port, page + "Host: other.example:8080\r\n\r\n")).code, 200);
    EXPECT_EQ(ParseHttpAnswer(Exchange(port, page + "Host: other.example\r\n\r\n")).code, 403);
    EXPECT_EQ(ParseHttpAnswer(Exchange(port, page + "Host: evil.example\r\n\r\n")).code, 403);
    EXPECT_EQ(serve.Stop(SIGTERM), 0);
    EXPECT_NE(serve.Errors().find("Serving a library of 4 books"), std::string::npos);
}

TEST(LibraryServe, ALibraryFolderIsServedAndOneBookKeepsItsAnswersUnderARoot)
{
    LibraryFixture fixture;
    ServeProcess library({ "--library", (fixture.scratch / "books").string() });
    const int port = PortOf(library.FirstLine());
    ASSERT_GT(port, 0);
    EXPECT_EQ(ParseHttpAnswer(Exchange(port, "GET /wiki/chapter.html HTTP/1.0\r\n\r\n")).code, 200);
    EXPECT_EQ(ParseHttpAnswer(Exchange(port, "GET /user-guide HTTP/1.0\r\n\r\n")).Header("Location"), "/user-guide/");
    EXPECT_EQ(library.Stop(SIGINT), 0);

    ServeProcess one({ (fixture.scratch / "notes").string(), "--url-root", "/guide" });
    const std::string url = one.FirstLine();
    const int onePort = PortOf(url);
    EXPECT_EQ(url, "http://127.0.0.1:" + std::to_string(onePort) + "/guide/index.html\n");
    const HttpAnswer chapter = ParseHttpAnswer(Exchange(onePort, "GET /guide/sub/chapter.html HTTP/1.0\r\n\r\n"));
    EXPECT_EQ(chapter.body, SampleChapterPage());
    EXPECT_EQ(ParseHttpAnswer(Exchange(onePort, "GET /sub/chapter.html HTTP/1.0\r\n\r\n")).code, 404);
    EXPECT_EQ(ParseHttpAnswer(Exchange(onePort, "GET /guide HTTP/1.0\r\n\r\n")).Header("Location"), "/guide/");
    EXPECT_EQ(ParseHttpAnswer(Exchange(onePort, "GET /guide/sub HTTP/1.0\r\n\r\n")).Header("Location"), "/guide/sub/");
    const HttpAnswer search = ParseHttpAnswer(Exchange(onePort, "GET /guide/.search?q=vacuum HTTP/1.0\r\n\r\n"));
    EXPECT_EQ(search.code, 200);
    EXPECT_NE(search.body.find("Chapter"), std::string::npos) << search.body;
    EXPECT_EQ(one.Stop(SIGTERM), 0);

    EXPECT_EQ(Pack({ "serve", "--library", (fixture.scratch / "books").string(), "x.epub" }).exitCode, 2);
    EXPECT_EQ(Pack({ "serve", "--library", (fixture.scratch / "books").string(), "--url-root", "x" }).exitCode, 2);
}

TEST(LibraryServe, HostScreeningForProxiesAndAServerOfferedToOtherMachines)
{
    TRequestScreen proxied;
    proxied.AllowHost("books.example");
    proxied.AllowHost("lan.example:8080");
    EXPECT_FALSE(Refused(proxied, "Host=books.example")) << "a proxy's Host $host";
    EXPECT_FALSE(Refused(proxied, "Host=books.example:11500"));
    EXPECT_FALSE(Refused(proxied, "Host=books.example\nOrigin=https://books.example")) << "a proxy with TLS";
    EXPECT_FALSE(Refused(proxied, "Host=lan.example:8080\nOrigin=http://lan.example:8080"));
    EXPECT_TRUE(Refused(proxied, "Host=books.example:9999"));
    EXPECT_TRUE(Refused(proxied, "Host=lan.example")) << "a name given with a port is that port's only";
    EXPECT_TRUE(Refused(proxied, "Host=lan.example:11500"));
    EXPECT_TRUE(Refused(proxied, "Host=192.168.1.20:11500")) << "bound to loopback, no address but its own";
    EXPECT_TRUE(Refused(proxied, "Host=127.0.0.1")) << "loopback names keep the server's port";
    EXPECT_TRUE(Refused(proxied, "Host=127.0.0.1:11500\nOrigin=https://127.0.0.1:11500"));

    TRequestScreen offered;
    offered.AllowHost("0.0.0.0");
    EXPECT_FALSE(Refused(offered, "Host=192.168.1.20:11500")) << "a reader on the LAN using an address";
    EXPECT_FALSE(Refused(offered, "Host=10.0.0.7")) << "a proxy passing an address on";
    EXPECT_FALSE(Refused(offered, "Host=[fe80::1]:11500"));
    EXPECT_FALSE(Refused(offered, "Host=127.0.0.1:11500\nOrigin=http://127.0.0.1:11500"));
    EXPECT_TRUE(Refused(offered, "Host=evil.example:11500")) << "names still are the author's to allow";
    EXPECT_TRUE(Refused(offered, "Host=192.168.1.20:11500\nOrigin=http://203.0.113.9:11500"))
        << "a page of another machine";
    EXPECT_TRUE(Refused(offered, "Host=1.2.3.4.5:11500"));
}

TEST(LibraryServe, BoundToEveryAddressServePrintsOneAReaderCanOpen)
{
    LibraryFixture fixture;
    ServeProcess serve(
        { (fixture.scratch / "books/novel.epub").string(), (fixture.scratch / "notes").string(), "--bind", "0.0.0.0" });
    const std::string url = serve.FirstLine();
    EXPECT_TRUE(url.starts_with("http://")) << url;
    EXPECT_EQ(url.find("0.0.0.0"), std::string::npos) << url;
    const int port = PortOf(url);
    ASSERT_GT(port, 0);
    const std::string host = url.substr(7, url.rfind(':') - 7);
    const HttpAnswer answer = ParseHttpAnswer(Exchange(port,
        "GET /notes/index.html HTTP/1.1\r\nConnection: close\r\nHost: " + host + ":" + std::to_string(port)
            + "\r\n\r\n"));
    EXPECT_EQ(answer.code, 200) << host;
    EXPECT_EQ(serve.Stop(SIGTERM), 0);
}
