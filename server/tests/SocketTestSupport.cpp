#include "server/tests/SocketTestSupport.h"

#include "common/AnsiText.h"
#include "server/listener/NetListener.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>

SocketPair::SocketPair()
{
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) == 0) {
        server_ = ends[0];
        peer_ = ends[1];
        SetPatience(server_);
        SetPatience(peer_);
    }
}

SocketPair::~SocketPair()
{
    if (server_ >= 0)
        close(server_);
    ClosePeer();
}

int SocketPair::ReleaseServer()
{
    const int handle = server_;
    server_ = -1;
    return handle;
}

void SocketPair::ClosePeer()
{
    if (peer_ >= 0)
        close(peer_);
    peer_ = -1;
}

void SocketPair::ShutdownPeerWrite()
{
    shutdown(peer_, SHUT_WR);
}

void SetPatience(int fd)
{
    timeval patience {};
    patience.tv_sec = kTestPatience.count();
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
}

void SendAll(int fd, const std::string& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        sent += static_cast<size_t>(n);
    }
}

std::string ReadUntilClosed(int fd)
{
    std::string result;
    char buffer[4096];
    while (true) {
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return result;
        result.append(buffer, static_cast<size_t>(n));
    }
}

HttpAnswer ReadOneAnswer(int fd, std::string& pending, bool headOnly)
{
    char buffer[65536];
    const auto readMore = [&] {
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return false;
        pending.append(buffer, static_cast<size_t>(n));
        return true;
    };
    std::size_t headerEnd = pending.find("\r\n\r\n");
    while (headerEnd == std::string::npos) {
        if (!readMore())
            return {};
        headerEnd = pending.find("\r\n\r\n");
    }
    HttpAnswer answer = ParseHttpAnswer(pending.substr(0, headerEnd + 4));
    const auto length = answer.Header("Content-Length");
    const std::size_t bodySize = headOnly || !length ? 0 : std::stoull(*length);
    while (pending.size() < headerEnd + 4 + bodySize) {
        if (!readMore())
            break;
    }
    answer.body = pending.substr(headerEnd + 4, bodySize);
    pending.erase(0, std::min(pending.size(), headerEnd + 4 + bodySize));
    return answer;
}

bool ClosedByPeer(int fd)
{
    char byte = 0;
    const ssize_t n = recv(fd, &byte, 1, 0);
    // A receive timeout (the patience) reports EAGAIN: still open.
    return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

LoopbackClient::LoopbackClient(int port, int receiveBuffer)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    SetPatience(fd);
    if (receiveBuffer > 0)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return;
    }
    fd_ = fd;
}

LoopbackClient::~LoopbackClient()
{
    Close();
}

void LoopbackClient::Send(const std::string& bytes) const
{
    SendAll(fd_, bytes);
}

std::string LoopbackClient::ReadAll() const
{
    return ReadUntilClosed(fd_);
}

void LoopbackClient::Close()
{
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
}

std::string Exchange(int port, const std::string& request)
{
    const LoopbackClient client(port);
    if (!client.Connected())
        return {};
    client.Send(request);
    return client.ReadAll();
}

int ActivateOnFreePort(TNetListener& listener)
{
    // A start that differs between test processes, so parallel test runs rarely meet.
    const int base = 20000 + static_cast<int>(getpid() % 20000);
    for (int attempt = 0; attempt < 500; ++attempt) {
        const int port = base + (attempt * 37) % 20000;
        listener.Port = port;
        try {
            listener.SetActive(true);
            return port;
        } catch (const ENetException&) {
            // In use: try the next one.
        }
    }
    return 0;
}

bool Eventually(const std::function<bool()>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + kTestPatience;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::optional<std::string> HttpAnswer::Header(std::string_view name) const
{
    for (const auto& [headerName, value] : headers) {
        if (AnsiSameText(headerName, name))
            return value;
    }
    return std::nullopt;
}

HttpAnswer ParseHttpAnswer(const std::string& bytes)
{
    HttpAnswer answer;
    const std::size_t headerEnd = bytes.find("\r\n\r\n");
    if (headerEnd == std::string::npos)
        return answer;
    answer.body = bytes.substr(headerEnd + 4);
    std::size_t line = 0;
    while (line < headerEnd + 2) {
        const std::size_t end = bytes.find("\r\n", line);
        const std::string_view text(bytes.data() + line, end - line);
        line = end + 2;
        if (answer.statusLine.empty()) {
            answer.statusLine = text;
            const std::size_t blank = text.find(' ');
            int32_t code = 0;
            if (blank != std::string_view::npos && TryStrToInt(text.substr(blank + 1, 3), code))
                answer.code = code;
            continue;
        }
        const std::size_t colon = text.find(':');
        answer.headers.emplace_back(std::string(text.substr(0, colon)),
            colon == std::string_view::npos ? std::string() : Trim(text.substr(colon + 1)));
    }
    return answer;
}
