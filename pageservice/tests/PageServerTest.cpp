#include "PageServer.h"

#include "BookWriter.h"
#include "NetExceptions.h"
#include "PagePorts.h"
#include "TakenPagePort.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
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
    TFileStream file(fileName.string(), TFileStream::Mode::Create);
    writer.SaveToStream(file);
    return fileName.string();
}

// One request to 127.0.0.1:port; everything the server sends until it closes.
std::string Exchange(int port, const std::string& request)
{
    const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const timeval patience { 20, 0 };
    ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    std::string response;
    if (::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        ::send(client, request.data(), request.size(), MSG_NOSIGNAL);
        char buffer[4096];
        ssize_t n;
        while ((n = ::recv(client, buffer, sizeof buffer, 0)) > 0)
            response.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(client);
    return response;
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
