#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

// One end of a connected socket pair for a fuzz target's server side, with the input already
// written into the other end and that end shut for writing, so that every read ends at the input's
// end instead of waiting for more.
//
// The input must fit the pair's buffer (a few hundred KiB): kMaxInput keeps it far below, so the
// write never blocks. Reads time out after a few seconds as a last guard; a target that still
// hangs is caught by libFuzzer's own -timeout.
class FuzzConnection {
public:
    static constexpr std::size_t kMaxInput = 64 * 1024;

    FuzzConnection(const uint8_t* data, std::size_t size)
    {
        int ends[2];
        if (size > kMaxInput || socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
            return;
        server_ = ends[0];
        peer_ = ends[1];
        timeval patience {};
        patience.tv_sec = 5;
        setsockopt(server_, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
        setsockopt(server_, SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
        setsockopt(peer_, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
        std::size_t sent = 0;
        while (sent < size) {
            const ssize_t n = send(peer_, data + sent, size - sent, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += static_cast<std::size_t>(n);
        }
        shutdown(peer_, SHUT_WR);
    }
    ~FuzzConnection()
    {
        if (server_ >= 0)
            close(server_);
        if (peer_ >= 0)
            close(peer_);
    }
    FuzzConnection(const FuzzConnection&) = delete;
    FuzzConnection& operator=(const FuzzConnection&) = delete;

    bool Ready() const { return server_ >= 0; }
    // The server end, handed over to a socket object that then closes it.
    int ReleaseServer()
    {
        const int handle = server_;
        server_ = -1;
        return handle;
    }
    // Everything the server side wrote, once it has closed its end.
    std::string ReadAnswer() const
    {
        std::string answer;
        char buffer[4096];
        while (true) {
            const ssize_t n = recv(peer_, buffer, sizeof buffer, 0);
            if (n <= 0)
                return answer;
            answer.append(buffer, static_cast<std::size_t>(n));
        }
    }

private:
    int server_ = -1;
    int peer_ = -1;
};
