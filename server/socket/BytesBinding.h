#pragma once

#include "server/socket/WinsockIntf.h"

#include <map>
#include <mutex>
#include <string>

// A socket binding over bytes in memory, for tests and fuzzers: installed with
// TInstalledSocketBinding, it lets the socket and HTTP layers read a request that is given as bytes
// and collects what they send, with no socket, no system call and nothing to wait for.
//
// Each handle that Open gives receives its input, at most `piece` bytes per receive when a piece
// size is given, and then end of file. Sending appends to what Sent returns. Calls on a handle that
// was closed, or never opened, fail with 10038 (not a socket). Calls that need a real network
// (socket, bind, listen, accept, connect, name look-ups) fail with 10045 (not supported).
class TBytesBinding : public TWinsockIntfBase {
public:
    TSocket Open(std::string input, int32_t piece = 0);
    // Everything sent on the handle, also after it was closed.
    std::string Sent(TSocket s) const;
    bool Closed(TSocket s) const;

    int32_t connect(TSocket s, const sockaddr* name, socklen_t namelen) override;
    hostent* gethostbyaddr(const void* addr, socklen_t len, int type) override;
    uint16_t htons(uint16_t hostshort) override;
    uint16_t ntohs(uint16_t netshort) override;
    uint32_t inet_addr(const char* cp) override;
    int32_t gethostname(char* name, int32_t len) override;
    hostent* gethostbyname(const char* name) override;
    std::string SocketErrorText(int32_t code) override { return SocketErrorTextFor(code); }
    int32_t LastError() override;
    int32_t recv(TSocket s, void* buf, int32_t len, int32_t flags) override;
    int32_t recvfrom(TSocket s, void* buf, int32_t len, int32_t flags, sockaddr* from, socklen_t* fromlen) override;
    int32_t select(int32_t nfds, fd_set* readfds, fd_set* writefds, fd_set* exceptfds, timeval* timeout) override;
    int32_t send(TSocket s, const void* buf, int32_t len, int32_t flags) override;
    int32_t sendto(
        TSocket s, const void* buf, int32_t len, int32_t flags, const sockaddr* to, socklen_t tolen) override;
    int32_t setsockopt(TSocket s, int32_t level, int32_t optname, const void* optval, socklen_t optlen) override;
    std::string inet_ntoa(in_addr in) override;
    int32_t listen(TSocket s, int32_t backlog) override;
    TSocket accept(TSocket s, sockaddr* addr, socklen_t* addrlen) override;
    int32_t bind(TSocket s, const sockaddr* addr, socklen_t namelen) override;
    int32_t closesocket(TSocket s) override;
    TSocket socket(int32_t af, int32_t type, int32_t protocol) override;
    int32_t shutdown(TSocket s, int32_t how) override;
    int32_t WaitReadable(TSocket s, int32_t milliseconds) override;

private:
    struct Connection {
        std::string input;
        std::size_t read = 0;
        int32_t piece = 0;
        std::string sent;
        bool receiveShut = false;
        bool sendShut = false;
        bool closed = false;
    };

    // The open connection of the handle, or null with the error recorded for LastError.
    Connection* Find(TSocket s);
    int32_t Fail(int32_t code, int32_t result);

    mutable std::mutex mutex_;
    std::map<TSocket, Connection> connections_;
    TSocket next_ = 1;
};
