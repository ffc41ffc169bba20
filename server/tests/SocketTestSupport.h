#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TNetListener;

// Upper bound for anything a test waits for, so that a fault fails the test instead of hanging CI.
constexpr std::chrono::seconds kTestPatience { 20 };

// Both ends of a connected Unix stream socket pair. The test keeps Peer; Server goes to a
// TNetServer through SetSocket (ReleaseServer), or is closed with the pair.
class SocketPair {
public:
    SocketPair();
    ~SocketPair();
    SocketPair(const SocketPair&) = delete;
    SocketPair& operator=(const SocketPair&) = delete;

    int ReleaseServer();
    int Peer() const { return peer_; }
    void ClosePeer();
    void ShutdownPeerWrite();

private:
    int server_ = -1;
    int peer_ = -1;
};

// A loopback TCP client with receive and send timeouts of kTestPatience.
class LoopbackClient {
public:
    // Connects to 127.0.0.1:port; Connected() tells whether it worked. A receive buffer size other
    // than 0 is set before connecting, so that the server meets a slow reader at once.
    explicit LoopbackClient(int port, int receiveBuffer = 0);
    ~LoopbackClient();
    LoopbackClient(const LoopbackClient&) = delete;
    LoopbackClient& operator=(const LoopbackClient&) = delete;

    bool Connected() const { return fd_ >= 0; }
    int Handle() const { return fd_; }
    void Send(const std::string& bytes) const;
    // Everything until the server closes (or the patience runs out).
    std::string ReadAll() const;
    void Close();

private:
    int fd_ = -1;
};

// One request on a fresh loopback connection: everything the server sends until it closes, or
// nothing when no server listens there.
std::string Exchange(int port, const std::string& request);

// An answer as a client reads it, for tests that look at headers by name rather than at the bytes.
struct HttpAnswer {
    std::string statusLine; // without its line end; empty when the bytes hold no header block
    int code = 0;
    std::vector<std::pair<std::string, std::string>> headers; // in order, values without blanks around
    std::string body;

    // The value of the first header of the name (letter case ignored); nothing when there is none.
    std::optional<std::string> Header(std::string_view name) const;
};
HttpAnswer ParseHttpAnswer(const std::string& bytes);

// One answer read from a connection that stays open: its header block, then as many body bytes as
// its Content-Length says (none when headOnly, for a HEAD, or without a Content-Length). Bytes
// read past the answer stay in `pending` for the next call. An empty statusLine when the
// connection closed first.
HttpAnswer ReadOneAnswer(int fd, std::string& pending, bool headOnly = false);
// True when the peer closes the connection (end of file or a reset) within kTestPatience.
bool ClosedByPeer(int fd);

void SendAll(int fd, const std::string& bytes);
std::string ReadUntilClosed(int fd);
// Sets receive and send timeouts of kTestPatience on the socket.
void SetPatience(int fd);

// Switches the listener on at a free loopback port it finds by trying a range of ports; returns the
// port, or 0 when none could be bound.
int ActivateOnFreePort(TNetListener& listener);

// Polls until the condition holds or the patience runs out; the condition's last value.
bool Eventually(const std::function<bool()>& condition);
