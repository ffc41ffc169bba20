#pragma once

#include "server/socket/SocketErrors.h"

#include <cstdint>
#include <string>

#include <netdb.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>

// The C library may define the byte-order functions as macros, which would rewrite the binding's
// operations of the same names.
#undef htons
#undef ntohs

// A socket handle. -1 means no socket.
using TSocket = int32_t;
constexpr TSocket INVALID_SOCKET = -1;
// What a failing socket call returns; the error number is then read with LastError.
constexpr int32_t SOCKET_ERROR = -1;

// What shutdown stops, with the Windows Sockets values.
constexpr int32_t SD_RECEIVE = 0;
constexpr int32_t SD_SEND = 1;
constexpr int32_t SD_BOTH = 2;

// Pieces of one gathered send at most.
inline constexpr int32_t kMaxSendPieces = 64;

// One piece of a gathered send.
struct TSendPiece {
    const char* data;
    int32_t size;
};

// Every socket call of the server goes through one binding object. The operations take and return
// what the Windows Sockets 1.1 calls of the same name do: they never raise, a failing call returns
// SOCKET_ERROR (or INVALID_SOCKET), and LastError gives the Windows Sockets error number of the
// calling thread's last failed call.
class TWinsockIntfBase {
public:
    TWinsockIntfBase() = default;
    virtual ~TWinsockIntfBase() = default;
    TWinsockIntfBase(const TWinsockIntfBase&) = delete;
    TWinsockIntfBase& operator=(const TWinsockIntfBase&) = delete;

    virtual int32_t connect(TSocket s, const sockaddr* name, socklen_t namelen) = 0;
    virtual hostent* gethostbyaddr(const void* addr, socklen_t len, int type) = 0;
    virtual uint16_t htons(uint16_t hostshort) = 0;
    virtual uint16_t ntohs(uint16_t netshort) = 0;
    virtual uint32_t inet_addr(const char* cp) = 0;
    virtual int32_t gethostname(char* name, int32_t len) = 0;
    virtual hostent* gethostbyname(const char* name) = 0;
    virtual std::string SocketErrorText(int32_t code) = 0;
    virtual int32_t LastError() = 0;
    virtual int32_t recv(TSocket s, void* buf, int32_t len, int32_t flags) = 0;
    virtual int32_t recvfrom(TSocket s, void* buf, int32_t len, int32_t flags, sockaddr* from, socklen_t* fromlen) = 0;
    virtual int32_t select(int32_t nfds, fd_set* readfds, fd_set* writefds, fd_set* exceptfds, timeval* timeout) = 0;
    virtual int32_t send(TSocket s, const void* buf, int32_t len, int32_t flags) = 0;
    virtual int32_t sendto(TSocket s, const void* buf, int32_t len, int32_t flags, const sockaddr* to, socklen_t tolen)
        = 0;
    virtual int32_t setsockopt(TSocket s, int32_t level, int32_t optname, const void* optval, socklen_t optlen) = 0;
    virtual std::string inet_ntoa(in_addr in) = 0;
    virtual int32_t listen(TSocket s, int32_t backlog) = 0;
    virtual TSocket accept(TSocket s, sockaddr* addr, socklen_t* addrlen) = 0;
    virtual int32_t bind(TSocket s, const sockaddr* addr, socklen_t namelen) = 0;
    virtual int32_t closesocket(TSocket s) = 0;
    virtual TSocket socket(int32_t af, int32_t type, int32_t protocol) = 0;

    // Stops receiving (SD_RECEIVE), sending (SD_SEND: the peer reads end of file once it has what
    // was sent) or both (SD_BOTH, which wakes a thread of this process that is blocked in accept,
    // recv or send on the socket; closing alone does not wake it on every platform).
    virtual int32_t shutdown(TSocket s, int32_t how) = 0;

    // Not a Windows Sockets 1.1 call: waits at most `milliseconds` until a recv on the socket would
    // not block (data, end of file or an error is there). 1 when so, 0 when the time ran out,
    // SOCKET_ERROR on failure. Unlike select, it takes any descriptor number.
    virtual int32_t WaitReadable(TSocket s, int32_t milliseconds) = 0;
    // Not a Windows Sockets call: true when the system handed the accepted connection over because
    // its accept deferral ran out (its handshake was repeated meanwhile), not because its first
    // bytes came or because a full queue made the system take it at once. The default: false.
    virtual bool DeferralRanOut(TSocket) { return false; }

    // Not Windows Sockets 1.1 calls (Windows Sockets 2 and TransmitFile have their like): send
    // with fewer system calls. SendPieces sends the pieces in order as one run of bytes; like send
    // it may send only a first part, and gives the bytes sent. The default sends the first piece
    // alone, which is always a correct answer.
    virtual int32_t SendPieces(TSocket s, const TSendPiece* pieces, int32_t count, int32_t flags)
    {
        return count > 0 ? send(s, pieces[0].data, pieces[0].size, flags) : 0;
    }
    // Sends up to count bytes of the open file `file` from `offset` without copying them through
    // this process, moving offset past them; gives the bytes sent. The default reads them and
    // sends them.
    virtual int32_t SendFile(TSocket s, int file, int64_t& offset, int32_t count);
};

// The binding over the platform's sockets (POSIX here). All operating-system differences of the
// server live in its implementation file: the errno mapping, EINTR, SIGPIPE, close-on-exec.
class TWinsockIntf11 : public TWinsockIntfBase {
public:
    // Raises Exception "Winsock Initialization Error." when the sockets library cannot start.
    TWinsockIntf11();

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
    bool DeferralRanOut(TSocket s) override;
    int32_t SendPieces(TSocket s, const TSendPiece* pieces, int32_t count, int32_t flags) override;
    int32_t SendFile(TSocket s, int file, int64_t& offset, int32_t count) override;

    // Information about the sockets implementation, filled once at construction.
    std::string Description;
    int32_t MaxSockets = 0;
    int32_t MaxUdpDatagram = 0;
};

// Reaches the process-wide binding: `SocketBinding->recv(...)`. The default binding (the platform's
// sockets) is created on first use, also when that comes from another library's start-up code, and
// is never freed, so that objects destroyed at program exit can still close their sockets; freeing
// it would release nothing, as it holds no state and makes no shutdown call. All threads share it
// unlocked.
struct TSocketBindingAccess {
    TWinsockIntfBase* operator->() const;
    TWinsockIntfBase& operator*() const { return *operator->(); }
};
inline constexpr TSocketBindingAccess SocketBinding {};

// Makes `binding` the one every socket call goes through (nullptr: the platform's again) and returns
// the one it replaces. For tests and fuzzers that feed the socket and HTTP layers bytes of their
// own: install before any socket object is used, and uninstall after the last is gone. The caller
// keeps the binding alive while it is installed.
TWinsockIntfBase* InstallSocketBinding(TWinsockIntfBase* binding);

// Installs a binding for as long as it lives, then puts back the one it replaced.
class TInstalledSocketBinding {
public:
    explicit TInstalledSocketBinding(TWinsockIntfBase& binding)
        : previous_(InstallSocketBinding(&binding))
    {
    }
    ~TInstalledSocketBinding() { InstallSocketBinding(previous_); }
    TInstalledSocketBinding(const TInstalledSocketBinding&) = delete;
    TInstalledSocketBinding& operator=(const TInstalledSocketBinding&) = delete;

private:
    TWinsockIntfBase* previous_;
};

// Plain append-only files for the socket layer's debug logs; -1 means no file.
int32_t OpenLogFile(const std::string& fileName);
void AppendToLogFile(int32_t handle, const char* data, int32_t count);
void CloseLogFile(int32_t handle);
