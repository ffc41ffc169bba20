#include "server/tests/SocketTestSupport.h"
#include "sources/tests/SampleSources.h"
#include "tools/tests/BookFile.h"
#include "tools/tests/PackFixture.h"
#include "tools/tests/ServeProcess.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

// `ebook-pack serve` as a separate process: the address it prints, what a raw client receives, and
// how it ends.
namespace {

// The port of an address "http://127.0.0.1:PORT/..." as serve prints it; 0 for another line.
int PortOf(const std::string& url)
{
    constexpr std::string_view kStart = "http://127.0.0.1:";
    return url.starts_with(kStart) ? std::atoi(url.c_str() + kStart.size()) : 0;
}

// Serve's answers are looked at by their headers' names, not byte for byte: the status, the
// type, a length that is the body's, and the body.
void ExpectAnswer(const std::string& bytes, int code, const std::string& type, const std::string& body)
{
    const HttpAnswer answer = ParseHttpAnswer(bytes);
    EXPECT_EQ(answer.code, code) << bytes;
    EXPECT_EQ(answer.Header("Content-Type"), type) << bytes;
    EXPECT_EQ(answer.Header("Content-Length"), std::to_string(body.size())) << bytes;
    EXPECT_EQ(answer.body, body);
}

class ServeCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteFile(temp_ / "src/index.htm", "<p>home</p>");
        WriteFile(temp_ / "src/My Page.htm", "blank");
        ASSERT_EQ(Pack({ "build", (temp_ / "src").string(), "-o", book_ }).exitCode, 0);
    }

    TempFolder temp_;
    std::string book_ = (temp_ / "guide.ebook").string();
};

} // namespace

TEST_F(ServeCommandTest, ServesPagesByteExactAndStopsCleanlyOnSignal)
{
    // Without the page cache, every request inflates its page, exactly as the viewer does. The
    // port is the one serve found free, so the test depends on no port being free.
    ServeProcess serve({ book_, "--cache-mb", "0", "--allow-host", "books.example, Other.example" });
    const std::string url = serve.FirstLine();
    const int port = PortOf(url);
    ASSERT_EQ(url, "http://127.0.0.1:" + std::to_string(port) + "/index.htm\n");

    ExpectAnswer(Exchange(port, "GET /index.htm HTTP/1.0\r\n\r\n"), 200, "text/html", "<p>home</p>");
    ExpectAnswer(Exchange(port, "GET /My%20Page.htm HTTP/1.0\r\n\r\n"), 200, "text/html", "blank");
    ExpectAnswer(Exchange(port, "GET /none.htm HTTP/1.0\r\n\r\n"), 404, "text/html",
        "<h2>HTTP Error 404</h2><p><strong>404 Not Found</strong></p>");

    // Names of other sites are refused; allowed ones are answered like the address.
    const std::string host = "Host: books.example:" + std::to_string(port) + "\r\n";
    ExpectAnswer(Exchange(port, "GET /index.htm HTTP/1.1\r\nConnection: close\r\n" + host + "\r\n"), 200, "text/html",
        "<p>home</p>");
    ExpectAnswer(
        Exchange(port,
            "GET /index.htm HTTP/1.1\r\nConnection: close\r\nHost: other.example:" + std::to_string(port) + "\r\n\r\n"),
        200, "text/html", "<p>home</p>");
    const HttpAnswer refused = ParseHttpAnswer(Exchange(port,
        "GET /index.htm HTTP/1.1\r\nConnection: close\r\nHost: evil.example:" + std::to_string(port) + "\r\n\r\n"));
    EXPECT_EQ(refused.code, 403) << refused.statusLine;
    EXPECT_EQ(refused.body.find("home"), std::string::npos);

    EXPECT_EQ(serve.Stop(SIGTERM), 0);
    EXPECT_NE(serve.Errors().find("Stopped"), std::string::npos);
}

TEST_F(ServeCommandTest, InterruptEndsWithSuccessAndTheDefaultPortIsTheViewersRange)
{
    ServeProcess serve({ book_ });
    const std::string url = serve.FirstLine();
    const int port = PortOf(url);
    EXPECT_GE(port, 11111);
    EXPECT_LE(port, 12110);
    EXPECT_NE(Exchange(port, "GET /missing/ HTTP/1.0\r\n\r\n").find("404 Not Found"), std::string::npos);
    for (int i = 0; i < 2; ++i) // the second answer comes from the page cache
        ExpectAnswer(Exchange(port, "GET /my%20page.htm HTTP/1.0\r\n\r\n"), 200, "text/html", "blank");
    EXPECT_EQ(serve.Stop(SIGINT), 0);
}

TEST_F(ServeCommandTest, PortInUseAndBadArgumentsExitWithTwo)
{
    const int blocker = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(blocker, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(blocker, 1), 0);
    ::getsockname(blocker, reinterpret_cast<sockaddr*>(&address), &length);
    const int port = ntohs(address.sin_port);

    ServeProcess busy({ book_, "--port", std::to_string(port) });
    EXPECT_EQ(busy.Stop(0), 2);
    EXPECT_EQ(busy.Errors(),
        "127.0.0.1:" + std::to_string(port) + ": Could not bind socket. Address and port are already in use.\n");
    ::close(blocker);

    ServeProcess invalid({ (temp_ / "src/index.htm").string() });
    EXPECT_EQ(invalid.Stop(0), 2);
    EXPECT_TRUE(invalid.Errors().starts_with("Invalid eBook: " + (temp_ / "src/index.htm").string() + "\n"))
        << invalid.Errors();

    EXPECT_EQ(Pack({ "serve", book_, "--port", "70000" }).exitCode, 2);
    EXPECT_EQ(Pack({ "serve", book_, "--bind", "localhost" }).exitCode, 2);
    EXPECT_EQ(Pack({ "serve", book_, "--cache-mb", "-1" }).exitCode, 2);
    EXPECT_EQ(Pack({ "serve", book_, "--allow-host", "a.example,,b.example" }).exitCode, 2);
    EXPECT_EQ(Pack({ "serve", book_, "--allow-host", "a.example:http" }).exitCode, 2);
}

TEST_F(ServeCommandTest, SearchPathAnswersResultsAsHtmlAndJsonAndNoPageShadowsIt)
{
    WriteFile(temp_ / "manual/index.htm", "<title>Home</title><p>see the vacuum page</p>");
    WriteFile(temp_ / "manual/sql vacuum.htm", "<title>VACUUM &lt;full&gt;</title><p>VACUUM FULL rewrites a table</p>");
    WriteFile(temp_ / "manual/other.htm", "<title>Other</title><p>vacuum full, vacuum full, vacuum full again</p>");
    WriteFile(temp_ / "manual/.search", "a page under the reserved name");
    const std::string manual = (temp_ / "manual.ebook").string();
    ASSERT_EQ(Pack({ "build", (temp_ / "manual").string(), "-o", manual, "--include-hidden" }).exitCode, 0);
    ServeProcess serve({ manual });
    const int port = PortOf(serve.FirstLine());
    ASSERT_GT(port, 0);

    const std::string page = Exchange(port, "GET /.search?q=vacuum+full&x=%3C HTTP/1.0\r\n\r\n");
    EXPECT_EQ(ParseHttpAnswer(page).code, 200) << page;
    EXPECT_EQ(ParseHttpAnswer(page).Header("Content-Type"), "text/html; charset=utf-8");
    EXPECT_NE(page.find("2 pages match"), std::string::npos) << page;
    // The page named so first, its title escaped, its link reaching it.
    const std::size_t first = page.find("<a href=\"/sql%20vacuum.htm\">VACUUM &lt;full&gt;</a>");
    EXPECT_NE(first, std::string::npos) << page;
    EXPECT_LT(first, page.find("<a href=\"/other.htm\">"));
    EXPECT_EQ(page.find("reserved name"), std::string::npos);
    EXPECT_TRUE(Exchange(port, "GET /sql%20vacuum.htm HTTP/1.0\r\n\r\n").starts_with("HTTP/1.0 200 OK\r\n"));

    const std::string json = Exchange(port, "GET /.search?format=json&limit=1&q=%22rewrites+a%22 HTTP/1.0\r\n\r\n");
    EXPECT_EQ(ParseHttpAnswer(json).Header("Content-Type"), "application/json") << json;
    EXPECT_NE(json.find("\"total\":1"), std::string::npos) << json;
    EXPECT_NE(json.find("\"name\":\"/sql vacuum.htm\""), std::string::npos) << json;
    EXPECT_NE(json.find("{\"match\":true,\"text\":\"rewrites\"}"), std::string::npos) << json;
    EXPECT_NE(
        Exchange(port, "GET /.search?format=json&q=nowhere HTTP/1.0\r\n\r\n").find("\"total\":0"), std::string::npos);

    // Titles that begin with the words, as JSON, whatever their letter case.
    const std::string titles = Exchange(port, "GET /.suggest?q=Vacuum+FU HTTP/1.0\r\n\r\n");
    EXPECT_EQ(ParseHttpAnswer(titles).Header("Content-Type"), "application/json") << titles;
    EXPECT_NE(titles.find("\"suggestions\":[{\"link\":\"/sql%20vacuum.htm\",\"name\":\"/sql vacuum.htm\","
                          "\"title\":\"VACUUM <full>\"}]"),
        std::string::npos)
        << titles;
    EXPECT_NE(
        Exchange(port, "GET /.suggest?q=other&limit=0 HTTP/1.0\r\n\r\n").find("\"suggestions\":[]"), std::string::npos);
    EXPECT_EQ(serve.Stop(SIGINT), 0);

    // The folder itself, served as its book would be, answers the same.
    ServeProcess folder({ (temp_ / "manual").string(), "--include-hidden" });
    const int folderPort = PortOf(folder.FirstLine());
    ASSERT_GT(folderPort, 0);
    const std::string fromFolder = Exchange(folderPort, "GET /.search?q=vacuum+full HTTP/1.0\r\n\r\n");
    EXPECT_NE(fromFolder.find("2 pages match"), std::string::npos) << fromFolder;
    EXPECT_LT(fromFolder.find("<a href=\"/sql%20vacuum.htm\">"), fromFolder.find("<a href=\"/other.htm\">"));
    EXPECT_EQ(folder.Stop(SIGINT), 0);
}

// A chunk of the book's index that turns out damaged while a query reads it: named once, and
// that query and the next answered from an index built in memory.
TEST_F(ServeCommandTest, AStoredIndexDamagedMidQueryIsNamedOnceAndReplaced)
{
    for (int i = 0; i < 600; ++i) {
        std::string body;
        for (int word = 0; word < 60; ++word)
            body += " w" + std::to_string(i) + "x" + std::to_string(word);
        WriteFile(temp_ / "big" / ("p" + std::to_string(i) + ".htm"),
            "<title>Page " + std::to_string(i) + "</title><p>vacuum" + body + "</p>");
    }
    WriteFile(temp_ / "big/index.htm", "<title>Home</title><p>pages</p>");
    const std::filesystem::path book = temp_ / "big.ebook";
    const ToolRun build = Pack({ "build", (temp_ / "big").string(), "-o", book.string() });
    ASSERT_EQ(build.exitCode, 0) << build.err;
    std::string bytes = ReadFile(book);
    int chunks = 0;
    {
        BookFile opened(book);
        for (int entry = 0; entry < opened.reader.Pages().Count(); ++entry) {
            // The second chunk only: the schema in the first still reads, so the index opens.
            if (opened.reader.Pages()[entry] == "/.search-index/v2/000001")
                bytes[static_cast<std::size_t>(
                    opened.reader.PageOffset(entry) + 4 + opened.reader.StoredLengthAt(entry) - 1)]
                    ^= 0x5A;
            chunks += opened.reader.Pages()[entry].starts_with("/.search-index/v2/") ? 1 : 0;
        }
    }
    ASSERT_GE(chunks, 3);
    WriteFile(book, bytes);
    ServeProcess serve({ book.string() });
    const int port = PortOf(serve.FirstLine());
    ASSERT_GT(port, 0);
    for (const char* query : { "vacuum", "w17x3", "vacuum" }) {
        const std::string answer
            = Exchange(port, "GET /.search?format=json&q=" + std::string(query) + " HTTP/1.0\r\n\r\n");
        EXPECT_TRUE(answer.starts_with("HTTP/1.0 200 OK\r\n")) << answer.substr(0, 300);
        EXPECT_EQ(answer.find("\"total\":0"), std::string::npos) << answer.substr(0, 300);
    }
    EXPECT_EQ(serve.Stop(SIGINT), 0);
    const std::string errors = serve.Errors();
    const std::size_t named = errors.find("search index is damaged");
    EXPECT_NE(named, std::string::npos) << errors;
    EXPECT_EQ(errors.find("search index is damaged", named + 1), std::string::npos) << errors;
}

TEST_F(ServeCommandTest, AnEpubAndAZimAreServedInPlaceRedirectsFollowedAndSearched)
{
    WriteSampleEpub(temp_ / "sample.epub");
    WriteSampleZim(temp_ / "sample.zim");
    for (const auto& [file, chapter] :
        { std::pair { "sample.epub", "/OEBPS/text/chapter.xhtml" }, std::pair { "sample.zim", "/chapter.html" } }) {
        SCOPED_TRACE(file);
        ServeProcess server({ (temp_ / file).string() });
        const std::string url = server.FirstLine();
        const int port = PortOf(url);
        ASSERT_GT(port, 0) << url << server.Errors();
        const std::string home = url.substr(url.find('/', 8), url.size() - url.find('/', 8) - 1);
        EXPECT_TRUE(Exchange(port, "GET " + home + " HTTP/1.0\r\n\r\n").starts_with("HTTP/1.0 200 OK\r\n"));
        const std::string page = Exchange(port, "GET " + std::string(chapter) + " HTTP/1.0\r\n\r\n");
        EXPECT_TRUE(page.starts_with("HTTP/1.0 200 OK\r\n")) << page;
        EXPECT_NE(page.find(kSampleWord), std::string::npos);
        EXPECT_TRUE(Exchange(port, "GET /none.html HTTP/1.0\r\n\r\n").starts_with("HTTP/1.0 404"));
        // Searched and suggested as a book is (a ZIM through its own indexes).
        const std::string found
            = Exchange(port, "GET /.search?format=json&q=" + std::string(kSampleWord) + " HTTP/1.0\r\n\r\n");
        EXPECT_NE(found.find("\"name\":\"" + std::string(chapter) + "\""), std::string::npos) << found;
        const std::string titles = Exchange(port, "GET /.suggest?q=chap HTTP/1.0\r\n\r\n");
        EXPECT_NE(titles.find("\"title\":\"Chapter\""), std::string::npos) << titles;
        EXPECT_EQ(server.Stop(SIGTERM), 0);
    }
    ServeProcess zim({ (temp_ / "sample.zim").string() });
    const int port = PortOf(zim.FirstLine());
    ASSERT_GT(port, 0);
    EXPECT_NE(Exchange(port, "GET /start HTTP/1.0\r\n\r\n").find("<h1>Home</h1>"), std::string::npos);
}

TEST_F(ServeCommandTest, AServedFolderAnswersNothingOutsideItUnlessToldEvenAfterAFolderIsSwappedForALink)
{
    WriteFile(temp_ / "site/index.html", "<p>home</p>");
    WriteFile(temp_ / "site/sub/page.html", "<p>page</p>");
    WriteFile(temp_ / "etc/hostname", "vm");
    WriteFile(temp_ / "etc/shadow", "root:x");
    std::filesystem::create_directory_symlink(temp_ / "etc", temp_ / "site/s");
    const std::string site = (temp_ / "site").string();
    {
        ServeProcess serve({ site, "--watch" });
        const int port = PortOf(serve.FirstLine());
        ASSERT_GT(port, 0) << serve.Errors();
        EXPECT_TRUE(Exchange(port, "GET /s/hostname HTTP/1.0\r\n\r\n").starts_with("HTTP/1.0 404"));
        std::filesystem::remove_all(temp_ / "site/sub");
        std::filesystem::create_directory_symlink(temp_ / "etc", temp_ / "site/sub");
        EXPECT_TRUE(Exchange(port, "GET /sub/page.html HTTP/1.0\r\n\r\n").starts_with("HTTP/1.0 404"))
            << "the planned page, now through the link, is refused as it is opened";
        // Once the watch has planned the folder again, the swapped folder is left out as well.
        for (int i = 0; i < 200; ++i) {
            if (ParseHttpAnswer(Exchange(port, "GET /.ebook-preview/generation HTTP/1.0\r\n\r\n")).body != "1")
                break;
            ::usleep(50000);
        }
        EXPECT_EQ(ParseHttpAnswer(Exchange(port, "GET /.ebook-preview/generation HTTP/1.0\r\n\r\n")).body, "2");
        EXPECT_TRUE(Exchange(port, "GET /sub/shadow HTTP/1.0\r\n\r\n").starts_with("HTTP/1.0 404"));
        EXPECT_TRUE(Exchange(port, "GET /index.html HTTP/1.0\r\n\r\n").starts_with("HTTP/1.0 200"));
        EXPECT_EQ(serve.Stop(SIGINT), 0);
        const std::string errors = serve.Errors();
        const std::string named = "s/ -> " + (temp_ / "etc").string() + ": outside the folder, not read";
        EXPECT_NE(errors.find(named), std::string::npos) << errors;
        EXPECT_EQ(errors.find(named), errors.rfind(named)) << "named once, not again when planned anew: " << errors;
        EXPECT_NE(
            errors.find("sub/ -> " + (temp_ / "etc").string() + ": outside the folder, not read"), std::string::npos)
            << errors;
    }
    ServeProcess told({ site, "--follow-outside" });
    const int port = PortOf(told.FirstLine());
    ASSERT_GT(port, 0) << told.Errors();
    EXPECT_TRUE(Exchange(port, "GET /s/hostname HTTP/1.0\r\n\r\n").starts_with("HTTP/1.0 200"));
    EXPECT_TRUE(Exchange(port, "GET /sub/shadow HTTP/1.0\r\n\r\n").starts_with("HTTP/1.0 200"));
}
