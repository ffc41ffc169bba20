// The HTTP listener's persistent connections, over real loopback connections.

#include "server/http/ConnectionReuse.h"
#include "server/http/HTTPListener.h"
#include "server/tests/SocketTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

// A listener in persistent mode whose handler answers the document's name, and 500 for "/fail".
class PersistentListener {
public:
    explicit PersistentListener(int32_t maxRequests = 100, std::chrono::milliseconds idle = std::chrono::seconds(5))
    {
        listener_.PersistentConnections = true;
        listener_.MaxRequestsPerConnection = maxRequests;
        listener_.KeepAliveIdle = idle;
        listener_.OnCommandGet = [this](TNetServerThread&, THTTPRequestInfo& request, THTTPResponseInfo& response) {
            ++handled_;
            if (request.Document == "/fail")
                throw std::runtime_error("broken");
            if (request.Document == "/empty")
                return;
            response.ContentText
                = "page " + request.Document + (request.RawParams.empty() ? "" : " " + request.RawParams);
        };
        port_ = ActivateOnFreePort(listener_);
    }
    int Port() const { return port_; }
    int Handled() const { return handled_.load(); }

private:
    std::atomic<int> handled_ { 0 };
    TNetHTTPListener listener_ { nullptr };
    int port_ = 0;
};

} // namespace

TEST(PersistentConnections, SeveralRequestsOneAfterAnotherAndPipelinedShareOneConnection)
{
    PersistentListener server;
    ASSERT_NE(server.Port(), 0);
    LoopbackClient client(server.Port());
    ASSERT_TRUE(client.Connected());
    std::string pending;

    client.Send("GET /a HTTP/1.1\r\nHost: x\r\n\r\n");
    HttpAnswer first = ReadOneAnswer(client.Handle(), pending);
    EXPECT_EQ(first.statusLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(first.body, "page /a");
    EXPECT_EQ(first.Header("Content-Length"), "7");
    EXPECT_FALSE(first.Header("Connection"));

    // Three requests in one send, the third a POST with its body: answered in order.
    client.Send("GET /b?x=1 HTTP/1.1\r\n\r\nHEAD /cc HTTP/1.1\r\n\r\nPOST /d HTTP/1.1\r\nContent-Length: 3\r\n\r\nq=2"
                "GET /empty HTTP/1.1\r\n\r\n");
    EXPECT_EQ(ReadOneAnswer(client.Handle(), pending).body, "page /b x=1");
    const HttpAnswer head = ReadOneAnswer(client.Handle(), pending, true);
    EXPECT_EQ(head.code, 200);
    EXPECT_EQ(head.Header("Content-Length"), "8"); // the GET's length, and no body after it
    EXPECT_EQ(ReadOneAnswer(client.Handle(), pending).body, "page /d q=2");
    const HttpAnswer empty = ReadOneAnswer(client.Handle(), pending);
    EXPECT_EQ(empty.code, 200);
    EXPECT_EQ(empty.Header("Content-Length"), "0"); // the end of an empty answer must be told too
    EXPECT_TRUE(pending.empty());

    // Still open: one more, then the client ends it.
    client.Send("GET /last HTTP/1.1\r\nConnection: keep-alive, Close\r\n\r\n");
    const HttpAnswer last = ReadOneAnswer(client.Handle(), pending);
    EXPECT_EQ(last.body, "page /last");
    EXPECT_EQ(last.Header("Connection"), "close");
    EXPECT_TRUE(ClosedByPeer(client.Handle()));
    EXPECT_EQ(server.Handled(), 6);
}

TEST(PersistentConnections, HttpOneZeroUnreadBodiesAndFailuresCloseAfterTheirAnswer)
{
    PersistentListener server;
    ASSERT_NE(server.Port(), 0);
    // HTTP/1.0, keep-alive asked or not: answered in 1.0 and closed.
    for (const char* request : { "GET /a HTTP/1.0\r\n\r\n", "GET /a HTTP/1.0\r\nConnection: keep-alive\r\n\r\n" }) {
        const HttpAnswer answer = ParseHttpAnswer(Exchange(server.Port(), request));
        EXPECT_EQ(answer.statusLine, "HTTP/1.0 200 OK");
        EXPECT_EQ(answer.Header("Connection"), "close");
        EXPECT_EQ(answer.body, "page /a");
    }
    // A body the listener does not read would be taken for the next request: on a GET it is
    // answered and closed; a chunked POST (no length to read by) is closed unanswered, as ever.
    {
        LoopbackClient client(server.Port());
        client.Send("GET /a HTTP/1.1\r\nContent-Length: 5\r\n\r\nGET /");
        std::string pending;
        const HttpAnswer answer = ReadOneAnswer(client.Handle(), pending);
        EXPECT_EQ(answer.body, "page /a");
        EXPECT_EQ(answer.Header("Connection"), "close");
        EXPECT_TRUE(ClosedByPeer(client.Handle()));
    }
    {
        LoopbackClient client(server.Port());
        client.Send("POST /a HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n");
        EXPECT_EQ(client.ReadAll(), "");
    }
    // A handler that fails is answered, with its length, and the connection goes on.
    LoopbackClient client(server.Port());
    client.Send("GET /fail HTTP/1.1\r\n\r\nGET /after HTTP/1.1\r\n\r\n");
    std::string pending;
    const HttpAnswer failed = ReadOneAnswer(client.Handle(), pending);
    EXPECT_EQ(failed.code, 500);
    EXPECT_EQ(failed.body, "<B>500 Internal Server Error</B><P>broken\r\n");
    EXPECT_EQ(ReadOneAnswer(client.Handle(), pending).body, "page /after");
    // A request line that cannot be read ends the connection unanswered, as it always did.
    client.Send("\r\n");
    EXPECT_TRUE(ClosedByPeer(client.Handle()));
}

TEST(PersistentConnections, TheCapAndTheIdleTimeEndAConnection)
{
    {
        PersistentListener server(2);
        ASSERT_NE(server.Port(), 0);
        LoopbackClient client(server.Port());
        client.Send("GET /1 HTTP/1.1\r\n\r\nGET /2 HTTP/1.1\r\n\r\nGET /3 HTTP/1.1\r\n\r\n");
        std::string pending;
        EXPECT_FALSE(ReadOneAnswer(client.Handle(), pending).Header("Connection"));
        const HttpAnswer second = ReadOneAnswer(client.Handle(), pending);
        EXPECT_EQ(second.body, "page /2");
        EXPECT_EQ(second.Header("Connection"), "close");
        EXPECT_TRUE(pending.empty());
        EXPECT_TRUE(ClosedByPeer(client.Handle()));
        EXPECT_EQ(server.Handled(), 2);
    }
    PersistentListener server(100, std::chrono::milliseconds(50));
    ASSERT_NE(server.Port(), 0);
    LoopbackClient client(server.Port());
    client.Send("GET /1 HTTP/1.1\r\n\r\n");
    std::string pending;
    EXPECT_EQ(ReadOneAnswer(client.Handle(), pending).body, "page /1");
    // Nothing more is sent: the server lets the connection go.
    EXPECT_TRUE(ClosedByPeer(client.Handle()));
}

TEST(PersistentConnections, TheViewersListenerStaysOneRequestPerConnection)
{
    TNetHTTPListener listener(nullptr);
    listener.OnCommandGet
        = [](TNetServerThread&, THTTPRequestInfo&, THTTPResponseInfo& response) { response.ContentText = "x"; };
    const int port = ActivateOnFreePort(listener);
    ASSERT_NE(port, 0);
    EXPECT_EQ(Exchange(port, "HEAD / HTTP/1.1\r\n\r\nGET / HTTP/1.1\r\n\r\n"),
        "HTTP/1.0 200 OK\r\nServer: NetServer/1.000\r\nContent-Type: text/html\r\nContent-Length: 1\r\n\r\nx");
}

TEST(ConnectionReuse, VersionsTokensAndBodies)
{
    EXPECT_TRUE(SpeaksHttp11("HTTP/1.1"));
    EXPECT_TRUE(SpeaksHttp11("http/1.2"));
    EXPECT_FALSE(SpeaksHttp11("HTTP/1.0"));
    EXPECT_FALSE(SpeaksHttp11("HTTP/1."));
    EXPECT_FALSE(SpeaksHttp11("HTTP/2.0"));
    EXPECT_FALSE(SpeaksHttp11("HTTP/1.1x"));
    TPackedStringList headers;
    headers.SetText("Connection=Upgrade ,  CLOSE\r\nContent-Length=00\r\n", "\r\n");
    EXPECT_TRUE(HeaderHasToken(headers, "connection", "close"));
    EXPECT_FALSE(HeaderHasToken(headers, "Connection", "keep-alive"));
    EXPECT_FALSE(LeavesBodyUnread("GET", headers));
    headers.SetText("Content-Length=12\r\n", "\r\n");
    EXPECT_TRUE(LeavesBodyUnread("GET", headers));
    EXPECT_FALSE(LeavesBodyUnread("POST", headers));
    headers.SetText("Transfer-Encoding=chunked\r\n", "\r\n");
    EXPECT_TRUE(LeavesBodyUnread("POST", headers));
}
