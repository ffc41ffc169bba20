#include "pageservice/PageServer.h"

#include "book/BookWriter.h"
#include "common/AnsiText.h"
#include "common/PackedStringList.h"
#include "pageservice/PagePorts.h"
#include "pageservice/PageService.h"
#include "pageservice/RequestScreen.h"
#include "pageservice/tests/TakenPagePort.h"
#include "server/http/HTTPRequestInfo.h"
#include "server/socket/NetExceptions.h"
#include "server/socket/WinsockIntf.h"
#include "server/tests/SocketTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <random>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A folder of its own under the system's temporary folder, removed at scope exit.
class TempFolder {
public:
    TempFolder()
        : path_(std::filesystem::temp_directory_path() / ("pageserver-test-" + std::to_string(std::random_device()())))
    {
        std::filesystem::create_directories(path_);
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

std::string WriteBook(const std::filesystem::path& fileName)
{
    TBookWriter writer;
    writer.AddPage("/index.htm", "<p>home</p>");
    writer.AddPage("/pictures/logo.svg", "<svg/>");
    std::string large;
    for (int i = 0; large.size() < (4u << 20); ++i)
        large += "<p>" + std::to_string(i) + "</p>";
    writer.AddPage("/large.htm", large);
    TFileStream file(fileName.string(), TFileStream::Mode::Create);
    writer.SaveToStream(file);
    return fileName.string();
}

} // namespace

TEST(PageServer, PassesOverATakenPagePortAndAnswersFromTheBook)
{
    TempFolder folder;
    TPageServer server(WriteBook(folder / "book.ebook"), TPageServerLimits {});
    EXPECT_EQ(server.Address(), "127.0.0.1");
    EXPECT_GE(server.Port(), kFirstPagePort);
    EXPECT_LT(server.Port(), kFirstPagePort + kPagePortCount);

    const TTakenPagePort taken;
    ASSERT_NE(taken.Port(), 0);
    server.SetPort(taken.Port());
    server.SwitchOn();
    ASSERT_TRUE(server.Active());
    EXPECT_NE(server.Port(), taken.Port());
    EXPECT_GE(server.Port(), kFirstPagePort);
    EXPECT_LT(server.Port(), kFirstPagePort + kPagePortCount);
    EXPECT_EQ(server.PageURL("/index.htm"), "http://127.0.0.1:" + std::to_string(server.Port()) + "/index.htm");
    EXPECT_EQ(Exchange(server.Port(), "GET /Pictures/Logo.SVG HTTP/1.0\r\n\r\n"),
        "HTTP/1.0 200 OK\r\nServer: NetServer/1.000\r\nContent-Type: image/svg+xml\r\nContent-Length: 6\r\n\r\n<svg/>");

    // Off and on again (the viewer's About box): the same port, answering again.
    const int32_t port = server.Port();
    server.SwitchOff();
    EXPECT_FALSE(server.Active());
    EXPECT_EQ(Exchange(port, "GET /index.htm HTTP/1.0\r\n\r\n"), "");
    server.SwitchOn();
    EXPECT_EQ(server.Port(), port);
    EXPECT_NE(Exchange(port, "GET /index.htm HTTP/1.0\r\n\r\n").find("<p>home</p>"), std::string::npos);
}

TEST(PageServer, AnExactPortThatIsTakenRaisesItsOwnError)
{
    TempFolder folder;
    TPageServer server(WriteBook(folder / "book.ebook"), TPageServerLimits {});
    const TTakenPagePort taken;
    ASSERT_NE(taken.Port(), 0);
    server.SetPort(taken.Port());
    EXPECT_THROW(server.SwitchOnAtPort(), ENetAddressInUse);
    EXPECT_FALSE(server.Active());
    EXPECT_EQ(server.Port(), taken.Port());
}

namespace {

// Two servers that draw the same port can both bind it (both ask for SO_REUSEADDR, neither
// listens yet); the one that listens second is refused then. This binding plays the other server:
// a socket bound to the port beforehand starts listening just before the server's own listen.
class TRivalListensFirst : public TWinsockIntf11 {
public:
    TRivalListensFirst()
    {
        int32_t port = RandomPagePort();
        for (int32_t attempt = 0; attempt < kPagePortCount; ++attempt, port = NextPagePort(port)) {
            rival_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            const int reuse = 1;
            ::setsockopt(rival_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
            sockaddr_in address {};
            address.sin_family = AF_INET;
            address.sin_port = ::htons(static_cast<uint16_t>(port));
            address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
            if (::bind(rival_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
                port_ = port;
                return;
            }
            ::close(rival_);
        }
        rival_ = -1;
    }
    ~TRivalListensFirst() override
    {
        if (rival_ >= 0)
            ::close(rival_);
    }
    int32_t Port() const { return port_; }
    int32_t listen(TSocket s, int32_t backlog) override
    {
        if (!rivalListening_)
            rivalListening_ = ::listen(rival_, 1) == 0;
        return TWinsockIntf11::listen(s, backlog);
    }

private:
    int rival_ = -1;
    int32_t port_ = 0;
    bool rivalListening_ = false;
};

} // namespace

TEST(PageServer, APortAnotherServerStartsListeningOnBetweenBindAndListenIsPassedOver)
{
    TempFolder folder;
    const std::string book = WriteBook(folder / "book.ebook");
    {
        TRivalListensFirst rival;
        ASSERT_NE(rival.Port(), 0);
        const TInstalledSocketBinding installed(rival);
        TPageServer server(book, TPageServerLimits {});
        server.SetPort(rival.Port());
        EXPECT_THROW(server.SwitchOnAtPort(), ENetAddressInUse);
        EXPECT_FALSE(server.Active());
    }
    // The server is declared after the binding its threads call through, so it is gone, its
    // sessions ended, before the binding is.
    TRivalListensFirst rival;
    ASSERT_NE(rival.Port(), 0);
    const TInstalledSocketBinding installed(rival);
    TPageServer server(book, TPageServerLimits {});
    server.SetPort(rival.Port());
    server.SwitchOn();
    ASSERT_TRUE(server.Active());
    EXPECT_NE(server.Port(), rival.Port());
    EXPECT_EQ(Exchange(server.Port(), "GET /Pictures/Logo.SVG HTTP/1.0\r\n\r\n"),
        "HTTP/1.0 200 OK\r\nServer: NetServer/1.000\r\nContent-Type: image/svg+xml\r\nContent-Length: 6\r\n\r\n<svg/>");
}

TEST(PageServer, AMissingFileRaisesAndAFileThatIsNoBookAnswersNotFound)
{
    TempFolder folder;
    try {
        TPageServer missing((folder / "gone.ebook").string(), TPageServerLimits {});
        FAIL() << "a server was made";
    } catch (const Exception& error) {
        EXPECT_TRUE(error.Message().starts_with("Cannot open file " + (folder / "gone.ebook").string() + "\n"));
    }

    std::ofstream(folder / "notes.txt") << "no container here";
    TPageServer server((folder / "notes.txt").string(), TPageServerLimits {});
    EXPECT_FALSE(server.Reader().IsValid());
    server.SwitchOn();
    EXPECT_NE(Exchange(server.Port(), "GET /index.htm HTTP/1.0\r\n\r\n").find("404 Not Found"), std::string::npos);
}

TEST(RequestScreen, OnlyTheServersOwnNamesAndOriginsAreAnswered)
{
    TRequestScreen screen;
    screen.AllowHost("books.example");
    auto refused = [&](const std::string& headerLines) {
        TPackedStringList headers;
        headers.SetText(headerLines);
        return screen.Refuses(headers, 11500);
    };
    EXPECT_FALSE(refused("")) << "HTTP/1.0 clients send no Host";
    EXPECT_FALSE(refused("Host=127.0.0.1:11500"));
    EXPECT_FALSE(refused("Host=LocalHost:11500"));
    EXPECT_FALSE(refused("Host=books.example:11500\nOrigin=http://books.example:11500"));
    EXPECT_FALSE(refused("Host=127.0.0.1:11500\nOrigin=http://127.0.0.1:11500\nSec-Fetch-Site=same-origin"));
    EXPECT_FALSE(refused("Host=127.0.0.1:11500\nSec-Fetch-Site=none")) << "the user's own navigation";

    EXPECT_TRUE(refused("Host=evil.example:11500")) << "a name pointed at this machine by another site";
    EXPECT_TRUE(refused("Host=127.0.0.1:11501"));
    EXPECT_TRUE(refused("Host=127.0.0.1")) << "port 80 implied";
    EXPECT_TRUE(refused("Host="));
    EXPECT_TRUE(refused("Host=127.0.0.1:11500\nOrigin=http://evil.example"));
    EXPECT_TRUE(refused("Host=127.0.0.1:11500\nOrigin=null"));
    EXPECT_TRUE(refused("Host=127.0.0.1:11500\nOrigin=https://127.0.0.1:11500"));
    EXPECT_TRUE(refused("Sec-Fetch-Site=cross-site"));
    EXPECT_TRUE(refused("Sec-Fetch-Site=same-site")) << "a page of another port of this machine";

    // Blanks around a value are not part of it; a blank before the colon, or a second copy of a
    // screened header, is refused whichever copy would pass.
    EXPECT_FALSE(refused("Host=127.0.0.1:11500 \t"));
    EXPECT_FALSE(refused("Host:127.0.0.1:11500")) << "no blank after the colon";
    EXPECT_FALSE(refused("Host= 127.0.0.1:11500\nSec-Fetch-Site=same-origin "));
    EXPECT_TRUE(refused("Sec-Fetch-Site=cross-site "));
    EXPECT_TRUE(refused("Sec-Fetch-Site:\tsame-site"));
    EXPECT_TRUE(refused("Origin=http://evil.example:11500 "));
    EXPECT_TRUE(refused("Host =127.0.0.1:11500"));
    EXPECT_TRUE(refused("Host :evil.example"));
    EXPECT_TRUE(refused("Host=127.0.0.1:11500\nHost=evil.example:11500"));
    EXPECT_TRUE(refused("Host=127.0.0.1:11500\nhost=127.0.0.1:11500"));
    EXPECT_TRUE(refused("Origin=http://127.0.0.1:11500\nOrigin=http://evil.example"));
    EXPECT_TRUE(refused("Sec-Fetch-Site=same-origin\nSec-Fetch-Site=cross-site"));
    EXPECT_FALSE(refused("X-Host=evil.example\nHostname=evil.example")) << "only the exact names are screened";
}

TEST(PageServer, RequestsFromOtherSitesGetForbiddenBeforeTheirBodyIsRead)
{
    TempFolder folder;
    TPageServer server(WriteBook(folder / "book.ebook"), TPageServerLimits {});
    server.SwitchOn();
    const std::string port = std::to_string(server.Port());
    const std::string page = "HTTP/1.0 200 OK\r\nServer: NetServer/1.000\r\nContent-Type: text/html\r\nContent-Length: "
                             "11\r\n\r\n<p>home</p>";
    const std::string forbidden = "HTTP/1.0 403 Forbidden\r\nServer: NetServer/1.000\r\nContent-Type: text/html\r\n"
                                  "Content-Length: "
        + std::to_string(kRequestRefusedText.size()) + "\r\n\r\n" + std::string(kRequestRefusedText);

    EXPECT_EQ(Exchange(server.Port(), "GET /index.htm HTTP/1.0\r\n\r\n"), page);
    EXPECT_EQ(Exchange(server.Port(), "GET /index.htm HTTP/1.1\r\nHost: 127.0.0.1:" + port + "\r\n\r\n"), page);
    EXPECT_EQ(Exchange(server.Port(), "GET /index.htm HTTP/1.1\r\nHost: evil.example:" + port + "\r\n\r\n"), forbidden);
    EXPECT_EQ(Exchange(server.Port(), "GET /index.htm HTTP/1.1\r\nHost: 127.0.0.1:" + port + "  \r\n\r\n"), page);
    EXPECT_EQ(Exchange(server.Port(), "GET /index.htm HTTP/1.1\r\nHost : evil.example\r\n\r\n"), forbidden);
    EXPECT_EQ(Exchange(server.Port(),
                  "GET /index.htm HTTP/1.1\r\nHost: 127.0.0.1:" + port + "\r\nHost: evil.example:" + port + "\r\n\r\n"),
        forbidden);
    // A body that is announced and never sent: reading it would wait, refusing does not.
    EXPECT_EQ(Exchange(server.Port(),
                  "POST /index.htm HTTP/1.1\r\nHost: 127.0.0.1:" + port
                      + "\r\nOrigin: http://evil.example\r\nContent-Length: 900000\r\n\r\n"),
        forbidden);
}

TEST(PageServer, ClientsThatResetMidAnswerEndOnlyTheirOwnConnections)
{
    TempFolder folder;
    TPageServerLimits limits;
    limits.cacheBytes = 32u << 20; // kept pages go out from memory files
    TPageServer server(WriteBook(folder / "book.ebook"), limits);
    server.SwitchOn();
    const std::string whole = Exchange(server.Port(), "GET /large.htm HTTP/1.0\r\n\r\n");
    ASSERT_GT(whole.size(), 4u << 20);
    for (int i = 0; i < 10; ++i) {
        const LoopbackClient client(server.Port(), 4096);
        ASSERT_TRUE(client.Connected());
        client.Send("GET /large.htm HTTP/1.0\r\n\r\n");
        char some[1024];
        ::recv(client.Handle(), some, sizeof some, MSG_WAITALL);
        // Closing with unread bytes and no linger resets the connection mid-answer.
        const linger reset { 1, 0 };
        ::setsockopt(client.Handle(), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    }
    EXPECT_EQ(Exchange(server.Port(), "GET /large.htm HTTP/1.0\r\n\r\n"), whole);
}

TEST(PageServer, SmallPagesAreNotHeldUpByALargePageThatAClientDoesNotRead)
{
    TempFolder folder;
    TPageServerLimits limits;
    limits.memoryBytes = 1u << 20; // the 4 MiB page is larger than the whole budget
    TPageServer server(WriteBook(folder / "book.ebook"), limits);
    server.SwitchOn();

    const LoopbackClient stalled(server.Port(), 4096);
    ASSERT_TRUE(stalled.Connected());
    stalled.Send("GET /large.htm HTTP/1.0\r\n\r\n");
    char first[16];
    ASSERT_EQ(::recv(stalled.Handle(), first, sizeof first, MSG_WAITALL), static_cast<ssize_t>(sizeof first));

    // The large page is held, unread; other readers' small pages are answered meanwhile.
    EXPECT_NE(Exchange(server.Port(), "GET /index.htm HTTP/1.0\r\n\r\n").find("<p>home</p>"), std::string::npos);
    EXPECT_NE(Exchange(server.Port(), "GET /pictures/logo.svg HTTP/1.0\r\n\r\n").find("<svg/>"), std::string::npos);
    EXPECT_GE(server.Pages().HeldBytes(), 4u << 20);
    EXPECT_LE(server.Pages().PeakHeldBytes(), (4u << 20) + (1u << 20) / 4 + 4096);
}

TEST(PageServer, AnotherSourceOfPagesIsAnsweredAsABookWouldBe)
{
    // Pages by name, as a folder an author edits would hold them.
    class FolderLike : public TPageSource {
    public:
        TPageLookup Lookup(std::string_view name) override
        {
            if (AnsiSameText(name, "/Caf\xE9.xhtml"))
                return { true, std::make_shared<const std::string>("<html/>") };
            if (AnsiSameText(name, "/damaged.htm"))
                return { true, nullptr };
            return {};
        }
    } source;
    TPageServer server(source, TPageServerLimits {});
    EXPECT_FALSE(server.Reader().IsValid());
    server.SwitchOn();
    EXPECT_EQ(Exchange(server.Port(), "GET /caf%C3%A9.XHTML HTTP/1.0\r\n\r\n"),
        "HTTP/1.0 200 OK\r\nServer: NetServer/1.000\r\nContent-Type: application/xhtml+xml\r\nContent-Length: 7\r\n\r\n"
        "<html/>");
    EXPECT_NE(Exchange(server.Port(), "GET /damaged.htm HTTP/1.0\r\n\r\n").find("404 Not Found"), std::string::npos);
    EXPECT_NE(Exchange(server.Port(), "GET /caf%C3%A9.xhtml HTTP/1.1\r\nHost: evil.example\r\n\r\n").find("403"),
        std::string::npos);
}

namespace {

// Pages by name, one of which fails as a damaged medium would, for the answers of every kind.
class PagesThatMayFail : public TPageSource {
public:
    TPageLookup Lookup(std::string_view name) override
    {
        if (AnsiSameText(name, "/index.htm"))
            return { true, std::make_shared<const std::string>("<p>home</p>") };
        if (AnsiSameText(name, "/guide/index.htm"))
            return { true, std::make_shared<const std::string>("guide") };
        if (AnsiSameText(name, "/boom.htm"))
            throw std::runtime_error("boom");
        return {};
    }
};

} // namespace

TEST(PageServer, TheViewersAnswersKeepTheirBytes)
{
    // The viewer's engine and its tests see exactly these bytes: status line, header order and
    // body, for every kind of answer the page server gives.
    PagesThatMayFail source;
    TPageServer server(source, TPageServerLimits {});
    server.SwitchOn();
    const int port = server.Port();
    EXPECT_EQ(Exchange(port, "GET /index.htm HTTP/1.0\r\n\r\n"),
        "HTTP/1.0 200 OK\r\nServer: NetServer/1.000\r\nContent-Type: text/html\r\nContent-Length: 11\r\n\r\n"
        "<p>home</p>");
    EXPECT_EQ(Exchange(port, "GET /guide HTTP/1.0\r\n\r\n"),
        "HTTP/1.0 301 Moved Permanently\r\nLocation: /guide/\r\nServer: NetServer/1.000\r\nContent-Type: "
        "text/html\r\nContent-Length: 29\r\n\r\n<a href=\"/guide/\">/guide/</a>");
    EXPECT_EQ(Exchange(port, "GET /missing.htm HTTP/1.0\r\n\r\n"),
        "HTTP/1.0 404 Not Found\r\nServer: NetServer/1.000\r\nContent-Type: text/html\r\nContent-Length: 60\r\n\r\n"
        "<h2>HTTP Error 404</h2><p><strong>404 Not Found</strong></p>");
    EXPECT_EQ(Exchange(port, "GET /index.htm HTTP/1.1\r\nHost: evil.example\r\n\r\n"),
        "HTTP/1.0 403 Forbidden\r\nServer: NetServer/1.000\r\nContent-Type: text/html\r\nContent-Length: 109\r\n\r\n"
        "<h2>HTTP Error 403</h2><p><strong>403 Forbidden</strong></p><p>This book is served to its own pages "
        "only.</p>");
    EXPECT_EQ(Exchange(port, "GET /boom.htm HTTP/1.0\r\n\r\n"),
        "HTTP/1.0 500 Internal Server Error\r\nServer: NetServer/1.000\r\nContent-Type: text/html\r\nContent-Length: "
        "41\r\n\r\n<B>500 Internal Server Error</B><P>boom\r\n");
}

namespace {

// A server's own policy, as one that adds headers to every answer would be: marks each answer
// with its code on the way out.
class MarkingPolicy : public TAnswerPolicy {
public:
    void Write(const THTTPRequestInfo& request, TAnswer answer, THTTPResponseInfo& response) const override
    {
        answer.headers.emplace_back("X-Answered", std::to_string(answer.code));
        TAnswerPolicy::Write(request, std::move(answer), response);
    }
};

} // namespace

TEST(PageServer, EveryAnswerGoesOutThroughTheServersPolicy)
{
    PagesThatMayFail source;
    TPageServer server(source, TPageServerLimits {});
    server.SetAnswerPolicy(std::make_shared<MarkingPolicy>());
    server.AnswerFirst([](const THTTPRequestInfo& request) -> std::optional<TAnswer> {
        if (request.Document != "/.first")
            return std::nullopt;
        return TextAnswer(200, "{}", "application/json");
    });
    server.SwitchOn();
    const std::pair<std::string, int> exchanges[] = {
        { "GET /index.htm HTTP/1.0", 200 },
        { "GET /guide HTTP/1.0", 301 },
        { "GET /missing.htm HTTP/1.0", 404 },
        { "GET /index.htm HTTP/1.1\r\nHost: evil.example", 403 },
        { "GET /boom.htm HTTP/1.0", 500 },
        { "GET /.first HTTP/1.0", 200 },
    };
    for (const auto& [request, code] : exchanges) {
        SCOPED_TRACE(request);
        const HttpAnswer answer = ParseHttpAnswer(Exchange(server.Port(), request + "\r\n\r\n"));
        EXPECT_EQ(answer.code, code);
        EXPECT_EQ(answer.Header("X-Answered"), std::to_string(code));
    }
    const HttpAnswer first = ParseHttpAnswer(Exchange(server.Port(), "GET /.first HTTP/1.0\r\n\r\n"));
    EXPECT_EQ(first.Header("Content-Type"), "application/json");
    EXPECT_EQ(first.Header("Content-Length"), "2");
    EXPECT_EQ(first.body, "{}");
    const HttpAnswer moved = ParseHttpAnswer(Exchange(server.Port(), "GET /guide HTTP/1.0\r\n\r\n"));
    EXPECT_EQ(moved.Header("location"), "/guide/");
}
