// The POSIX socket binding: the only file of the server that knows the operating system.

#include "server/socket/WinsockIntf.h"

#include "common/Exception.h"
#include "common/RetryOnInterrupt.h"

#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

// The calling thread's last socket error, as a Windows Sockets number. Kept apart from errno so
// that nothing run between the failing call and LastError can change it.
thread_local int32_t lastSocketError = 0;

// Records the calling thread's error for LastError and passes the failing result on.
int32_t Failed(int32_t result)
{
    lastSocketError = WinsockNumberOf(errno);
    return result;
}

size_t SizeOf(int32_t len)
{
    return len > 0 ? static_cast<size_t>(len) : 0;
}

} // namespace

TWinsockIntf11::TWinsockIntf11()
{
    // POSIX sockets need no start-up call; what Windows reports at start-up is described here
    // from the process limits instead.
    rlimit files {};
    if (getrlimit(RLIMIT_NOFILE, &files) != 0)
        throw Exception("Winsock Initialization Error.");
    Description = "POSIX sockets";
    MaxSockets = files.rlim_cur > 0xFFFF ? 0xFFFF : static_cast<int32_t>(files.rlim_cur);
    MaxUdpDatagram = 0xFFFF;
}

int32_t TWinsockIntf11::connect(TSocket s, const sockaddr* name, socklen_t namelen)
{
    const int result = ::connect(s, name, namelen);
    return result < 0 ? Failed(SOCKET_ERROR) : result;
}

hostent* TWinsockIntf11::gethostbyaddr(const void* addr, socklen_t len, int type)
{
    return ::gethostbyaddr(addr, len, type);
}

uint16_t TWinsockIntf11::htons(uint16_t hostshort)
{
    return ::htons(hostshort);
}

uint16_t TWinsockIntf11::ntohs(uint16_t netshort)
{
    return ::ntohs(netshort);
}

uint32_t TWinsockIntf11::inet_addr(const char* cp)
{
    return ::inet_addr(cp);
}

int32_t TWinsockIntf11::gethostname(char* name, int32_t len)
{
    const int result = ::gethostname(name, SizeOf(len));
    return result < 0 ? Failed(SOCKET_ERROR) : result;
}

hostent* TWinsockIntf11::gethostbyname(const char* name)
{
    return ::gethostbyname(name);
}

int32_t TWinsockIntf11::LastError()
{
    return lastSocketError;
}

int32_t TWinsockIntf11::recv(TSocket s, void* buf, int32_t len, int32_t flags)
{
    const ssize_t n = RetryOnInterrupt([&] { return ::recv(s, buf, SizeOf(len), flags); });
    return n < 0 ? Failed(SOCKET_ERROR) : static_cast<int32_t>(n);
}

int32_t TWinsockIntf11::recvfrom(TSocket s, void* buf, int32_t len, int32_t flags, sockaddr* from, socklen_t* fromlen)
{
    const ssize_t n = RetryOnInterrupt([&] { return ::recvfrom(s, buf, SizeOf(len), flags, from, fromlen); });
    return n < 0 ? Failed(SOCKET_ERROR) : static_cast<int32_t>(n);
}

int32_t TWinsockIntf11::select(int32_t nfds, fd_set* readfds, fd_set* writefds, fd_set* exceptfds, timeval* timeout)
{
    const int result = ::select(nfds, readfds, writefds, exceptfds, timeout);
    return result < 0 ? Failed(SOCKET_ERROR) : result;
}

int32_t TWinsockIntf11::send(TSocket s, const void* buf, int32_t len, int32_t flags)
{
    // A peer that has gone away must give EPIPE here, never the process-killing SIGPIPE.
    const ssize_t n = RetryOnInterrupt([&] { return ::send(s, buf, SizeOf(len), flags | MSG_NOSIGNAL); });
    return n < 0 ? Failed(SOCKET_ERROR) : static_cast<int32_t>(n);
}

int32_t TWinsockIntf11::sendto(
    TSocket s, const void* buf, int32_t len, int32_t flags, const sockaddr* to, socklen_t tolen)
{
    const ssize_t n = RetryOnInterrupt([&] { return ::sendto(s, buf, SizeOf(len), flags | MSG_NOSIGNAL, to, tolen); });
    return n < 0 ? Failed(SOCKET_ERROR) : static_cast<int32_t>(n);
}

int32_t TWinsockIntf11::setsockopt(TSocket s, int32_t level, int32_t optname, const void* optval, socklen_t optlen)
{
    const int result = ::setsockopt(s, level, optname, optval, optlen);
    return result < 0 ? Failed(SOCKET_ERROR) : result;
}

std::string TWinsockIntf11::inet_ntoa(in_addr in)
{
    char text[INET_ADDRSTRLEN] = {};
    return ::inet_ntop(AF_INET, &in, text, sizeof text) ? std::string(text) : std::string();
}

int32_t TWinsockIntf11::listen(TSocket s, int32_t backlog)
{
    // Answers go out as a header and then body pieces of at most 8 KiB. With Nagle's algorithm
    // each piece after the first waits for the peer's delayed acknowledgement, which costs
    // milliseconds per response on Linux; every piece is complete when written (a writer that
    // has more to come says so per send), so send at once. Connections taken from this socket
    // inherit the option, which saves a call per connection.
    const int noDelay = 1;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    const int result = ::listen(s, backlog);
    return result < 0 ? Failed(SOCKET_ERROR) : result;
}

TSocket TWinsockIntf11::accept(TSocket s, sockaddr* addr, socklen_t* addrlen)
{
    // Accepted sockets are not inherited by programs this process starts.
    const int result = RetryOnInterrupt([&] { return ::accept4(s, addr, addrlen, SOCK_CLOEXEC); });
    return result < 0 ? Failed(INVALID_SOCKET) : result;
}

int32_t TWinsockIntf11::bind(TSocket s, const sockaddr* addr, socklen_t namelen)
{
    // Windows lets a listener bind again while earlier connections of the port linger in
    // TIME_WAIT; on POSIX that takes SO_REUSEADDR, which still refuses a port another socket
    // listens on.
    const int reuse = 1;
    ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    const int result = ::bind(s, addr, namelen);
    return result < 0 ? Failed(SOCKET_ERROR) : result;
}

int32_t TWinsockIntf11::closesocket(TSocket s)
{
    // Closes at once. close() alone leaves a thread blocked in accept or recv on the socket
    // asleep: whoever closes a socket another thread may be using shuts it down first
    // (TNetComponent::CloseSocket does), and a socket no other thread uses needs no extra call.
    const int result = ::close(s);
    return result < 0 ? Failed(SOCKET_ERROR) : result;
}

TSocket TWinsockIntf11::socket(int32_t af, int32_t type, int32_t protocol)
{
    const int result = ::socket(af, type | SOCK_CLOEXEC, protocol);
    return result < 0 ? Failed(INVALID_SOCKET) : result;
}

int32_t TWinsockIntf11::shutdown(TSocket s, int32_t how)
{
    const int direction = how == SD_RECEIVE ? SHUT_RD : how == SD_SEND ? SHUT_WR : SHUT_RDWR;
    const int result = ::shutdown(s, direction);
    return result < 0 ? Failed(SOCKET_ERROR) : result;
}

int32_t TWinsockIntf11::WaitReadable(TSocket s, int32_t milliseconds)
{
    // poll ignores a negative descriptor and would sleep the whole time: report it as Windows
    // reports a call on no socket.
    if (s < 0) {
        errno = EBADF;
        return Failed(SOCKET_ERROR);
    }
    pollfd entry { s, POLLIN, 0 };
    const int result = RetryOnInterrupt([&] { return ::poll(&entry, 1, milliseconds); });
    return result < 0 ? Failed(SOCKET_ERROR) : result > 0 ? 1 : 0;
}

bool TWinsockIntf11::DeferralRanOut(TSocket s)
{
    // The system repeats the handshake's answer to time the deferral; a connection taken early
    // because the queue was full (a SYN cookie) or one whose bytes came never had it repeated.
    tcp_info info {};
    socklen_t length = sizeof info;
    if (::getsockopt(s, IPPROTO_TCP, TCP_INFO, &info, &length) != 0)
        return false;
    return info.tcpi_total_retrans > 0;
}

int32_t TWinsockIntf11::SendPieces(TSocket s, const TSendPiece* pieces, int32_t count, int32_t flags)
{
    // One gathered call instead of a send per piece; the bytes on the wire are the same.
    std::array<iovec, kMaxSendPieces> vectors {};
    const auto used = static_cast<std::size_t>(std::clamp<int32_t>(count, 0, kMaxSendPieces));
    for (std::size_t i = 0; i < used; ++i)
        vectors[i] = { const_cast<char*>(pieces[i].data), SizeOf(pieces[i].size) };
    msghdr message {};
    message.msg_iov = vectors.data();
    message.msg_iovlen = used;
    const ssize_t n = RetryOnInterrupt([&] { return ::sendmsg(s, &message, flags | MSG_NOSIGNAL); });
    return n < 0 ? Failed(SOCKET_ERROR) : static_cast<int32_t>(n);
}

int32_t TWinsockIntf11::SendFile(TSocket s, int file, int64_t& offset, int32_t count)
{
    // sendfile has no MSG_NOSIGNAL: to a peer that has gone away it raises SIGPIPE, which would end
    // the process. The signal is blocked on each thread that sends files (once per thread), and
    // one that came is taken back, so that the call fails with EPIPE like send.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    thread_local bool pipeSignalBlocked = false;
    if (!pipeSignalBlocked) {
        pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
        pipeSignalBlocked = true;
    }
    off_t at = offset;
    const ssize_t n = RetryOnInterrupt([&] { return ::sendfile(s, file, &at, SizeOf(count)); });
    if (n < 0) {
        if (errno == EPIPE) {
            const timespec noWait {};
            sigtimedwait(&pipeSignal, nullptr, &noWait);
            errno = EPIPE;
        }
        return Failed(SOCKET_ERROR);
    }
    offset = at;
    return static_cast<int32_t>(n);
}

int32_t TWinsockIntfBase::SendFile(TSocket s, int file, int64_t& offset, int32_t count)
{
    char buffer[8192];
    const ssize_t got = ::pread(file, buffer, std::min<std::size_t>(sizeof buffer, SizeOf(count)), offset);
    if (got <= 0)
        return got == 0 ? 0 : Failed(SOCKET_ERROR);
    const int32_t n = send(s, buffer, static_cast<int32_t>(got), 0);
    if (n > 0)
        offset += n;
    return n;
}

namespace {

// The binding installed in place of the platform's; null while there is none.
std::atomic<TWinsockIntfBase*> installedBinding { nullptr };

TWinsockIntfBase* PlatformBinding()
{
    static TWinsockIntfBase* const binding = new TWinsockIntf11();
    return binding;
}

} // namespace

TWinsockIntfBase* TSocketBindingAccess::operator->() const
{
    TWinsockIntfBase* const installed = installedBinding.load(std::memory_order_acquire);
    return installed ? installed : PlatformBinding();
}

TWinsockIntfBase* InstallSocketBinding(TWinsockIntfBase* binding)
{
    return installedBinding.exchange(binding, std::memory_order_acq_rel);
}

int32_t OpenLogFile(const std::string& fileName)
{
    return ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

void AppendToLogFile(int32_t handle, const char* data, int32_t count)
{
    if (handle >= 0 && count > 0 && ::write(handle, data, static_cast<size_t>(count)) < 0) {
        // The log is best effort: a failed write is not reported.
    }
}

void CloseLogFile(int32_t handle)
{
    if (handle >= 0)
        ::close(handle);
}
