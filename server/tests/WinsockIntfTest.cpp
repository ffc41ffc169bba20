#include "server/socket/WinsockIntf.h"
#include "server/socket/NetComponent.h"
#include "server/socket/NetText.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace {

// Binds s to a free loopback port and returns that address.
sockaddr_in BoundToLoopback(TSocket s)
{
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = SocketBinding->inet_addr("127.0.0.1");
    socklen_t length = sizeof address;
    EXPECT_EQ(SocketBinding->bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(getsockname(s, reinterpret_cast<sockaddr*>(&address), &length), 0);
    return address;
}

} // namespace

TEST(SocketErrorText, KnownCodesCarryTheirTextAfterTheNumberLine)
{
    EXPECT_EQ(SocketBinding->SocketErrorText(10048), "Socket Error #10048\r\nAddress already in use.");
    EXPECT_EQ(SocketBinding->SocketErrorText(10061), "Socket Error #10061\r\nConnection refused.");
    EXPECT_EQ(SocketBinding->SocketErrorText(10035), "Socket Error #10035\r\nOperation would block. ");
    EXPECT_EQ(SocketBinding->SocketErrorText(10066), "Socket Error #10066\r\nDirectory not empty");
    EXPECT_EQ(
        SocketBinding->SocketErrorText(11004), "Socket Error #11004\r\nValid name, no data record (check DNS setup).");
}

TEST(SocketErrorText, CodesWithoutTextGiveOnlyTheNumberLine)
{
    for (const int32_t code : { 0, 10001, 10003, 10005, 10023, 10072, 10090, 10094, 11000, 11005, 12345 })
        EXPECT_EQ(SocketBinding->SocketErrorText(code), "Socket Error #" + std::to_string(code) + "\r\n") << code;
}

TEST(SocketBinding, FailedCallsReportWindowsSocketsNumbers)
{
    char byte = 0;
    EXPECT_EQ(SocketBinding->recv(-1, &byte, 1, 0), SOCKET_ERROR);
    EXPECT_EQ(SocketBinding->LastError(), WsaError::BadFile);

    // A port nobody listens on: bind one, never listen, then connect to it.
    const TSocket holder = SocketBinding->socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = BoundToLoopback(holder);
    const TSocket client = SocketBinding->socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_EQ(SocketBinding->connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), SOCKET_ERROR);
    EXPECT_EQ(SocketBinding->LastError(), WsaError::ConnectionRefused);
    SocketBinding->closesocket(client);
    SocketBinding->closesocket(holder);
}

TEST(SocketBinding, SendToAClosedPeerFailsWithShutdownInsteadOfASignal)
{
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    SocketBinding->closesocket(ends[1]);
    EXPECT_EQ(SocketBinding->send(ends[0], "x", 1, 0), SOCKET_ERROR);
    EXPECT_EQ(SocketBinding->LastError(), WsaError::Shutdown);
    SocketBinding->closesocket(ends[0]);
}

TEST(SocketBinding, WaitReadableSeesDataAndEndOfFileAndRefusesNoSocket)
{
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    EXPECT_EQ(SocketBinding->WaitReadable(ends[0], 0), 0);
    ASSERT_EQ(SocketBinding->send(ends[1], "x", 1, 0), 1);
    EXPECT_EQ(SocketBinding->WaitReadable(ends[0], 20000), 1);
    char byte = 0;
    EXPECT_EQ(SocketBinding->recv(ends[0], &byte, 1, 0), 1);
    // Sending shut down: the other end reads end of file, which counts as readable.
    EXPECT_EQ(SocketBinding->shutdown(ends[1], SD_SEND), 0);
    EXPECT_EQ(SocketBinding->WaitReadable(ends[0], 20000), 1);
    EXPECT_EQ(SocketBinding->recv(ends[0], &byte, 1, 0), 0);
    SocketBinding->closesocket(ends[0]);
    SocketBinding->closesocket(ends[1]);

    EXPECT_EQ(SocketBinding->WaitReadable(INVALID_SOCKET, 20000), SOCKET_ERROR);
    EXPECT_EQ(SocketBinding->LastError(), WsaError::BadFile);
}

TEST(SocketBinding, ConnectionsTakenFromAListenerSendWithoutNagleDelay)
{
    // The listening socket carries the option and every accepted connection inherits it: the
    // pieces of an answer are never held back for an acknowledgement.
    const TSocket listener = SocketBinding->socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = BoundToLoopback(listener);
    ASSERT_EQ(SocketBinding->listen(listener, 4), 0);
    const TSocket client = SocketBinding->socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(SocketBinding->connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const TSocket accepted = SocketBinding->accept(listener, nullptr, nullptr);
    ASSERT_NE(accepted, INVALID_SOCKET);
    int noDelay = 0;
    socklen_t size = sizeof noDelay;
    ASSERT_EQ(getsockopt(accepted, IPPROTO_TCP, TCP_NODELAY, &noDelay, &size), 0);
    EXPECT_NE(noDelay, 0);
    for (const TSocket s : { accepted, client, listener })
        SocketBinding->closesocket(s);
}

TEST(CheckSocketResult, ToleratedCodesReturnTrueOthersRaise)
{
    char byte = 0;
    EXPECT_FALSE(CheckSocketResult(0, {}));
    SocketBinding->recv(-1, &byte, 1, 0);
    EXPECT_TRUE(CheckSocketResult(SOCKET_ERROR, { WsaError::Interrupted, WsaError::BadFile }));
    try {
        CheckSocketResult(SOCKET_ERROR, { WsaError::Interrupted });
        FAIL() << "no exception";
    } catch (const ENetSocketError& e) {
        EXPECT_EQ(e.ErrorCode, WsaError::BadFile);
        EXPECT_EQ(e.Message(), "Socket Error #10009\r\nBad file number.");
    }
}

TEST(RPos, FindsTheLastOccurrenceAtOrBeforeStart)
{
    EXPECT_EQ(RPos(" ", "GET /a b HTTP/1.0"), 9);
    EXPECT_EQ(RPos(" ", "GET /a b HTTP/1.0", 8), 7);
    EXPECT_EQ(RPos("x", "abc"), 0);
    EXPECT_EQ(RPos("abc", "ab"), 0);
    EXPECT_EQ(RPos("a", ""), 0);
    EXPECT_EQ(RPos("ab", "abab"), 3);
    EXPECT_EQ(RPos("ab", "abab", 2), 1);
    EXPECT_EQ(RPos("AB", "abab"), 0);
}

TEST(WriteToStream, WritesTextAndLineEnds)
{
    TMemoryStream stream;
    WriteLnToStream(stream, "");
    EXPECT_EQ(stream.ToString(), "\r\n");
    WriteToStream(stream, "");
    WriteLnToStream(stream, "ab");
    EXPECT_EQ(stream.ToString(), "\r\nab\r\n");
}

TEST(FormatIPAddress, UsesTheBytesInMemoryOrder)
{
    EXPECT_EQ(TNetComponent::FormatIPAddress(inet_addr("10.1.2.3")), "10.1.2.3");
    EXPECT_EQ(TNetComponent::FormatIPAddress(inet_addr("127.0.0.1")), "127.0.0.1");
}
