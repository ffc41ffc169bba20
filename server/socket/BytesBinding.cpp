#include "server/socket/BytesBinding.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstring>

namespace {
thread_local int32_t lastBytesError = 0;
constexpr int32_t kNotSupported = 10045; // WSAEOPNOTSUPP
} // namespace

TSocket TBytesBinding::Open(std::string input, int32_t piece)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const TSocket handle = next_++;
    Connection& connection = connections_[handle];
    connection.input = std::move(input);
    connection.piece = piece;
    return handle;
}

std::string TBytesBinding::Sent(TSocket s) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = connections_.find(s);
    return found == connections_.end() ? std::string() : found->second.sent;
}

bool TBytesBinding::Closed(TSocket s) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = connections_.find(s);
    return found == connections_.end() || found->second.closed;
}

TBytesBinding::Connection* TBytesBinding::Find(TSocket s)
{
    const auto found = connections_.find(s);
    if (found == connections_.end() || found->second.closed) {
        lastBytesError = WsaError::NotSocket;
        return nullptr;
    }
    return &found->second;
}

int32_t TBytesBinding::Fail(int32_t code, int32_t result)
{
    lastBytesError = code;
    return result;
}

int32_t TBytesBinding::LastError()
{
    return lastBytesError;
}

int32_t TBytesBinding::recv(TSocket s, void* buf, int32_t len, int32_t)
{
    std::lock_guard<std::mutex> lock(mutex_);
    Connection* connection = Find(s);
    if (!connection)
        return SOCKET_ERROR;
    if (len < 0)
        return Fail(WsaError::InvalidArgument, SOCKET_ERROR);
    if (connection->receiveShut)
        return 0;
    std::size_t n = std::min(static_cast<std::size_t>(len), connection->input.size() - connection->read);
    if (connection->piece > 0)
        n = std::min(n, static_cast<std::size_t>(connection->piece));
    std::memcpy(buf, connection->input.data() + connection->read, n);
    connection->read += n;
    return static_cast<int32_t>(n);
}

int32_t TBytesBinding::recvfrom(TSocket s, void* buf, int32_t len, int32_t flags, sockaddr*, socklen_t*)
{
    return recv(s, buf, len, flags);
}

int32_t TBytesBinding::send(TSocket s, const void* buf, int32_t len, int32_t)
{
    std::lock_guard<std::mutex> lock(mutex_);
    Connection* connection = Find(s);
    if (!connection)
        return SOCKET_ERROR;
    if (len < 0)
        return Fail(WsaError::InvalidArgument, SOCKET_ERROR);
    if (connection->sendShut)
        return Fail(WsaError::Shutdown, SOCKET_ERROR);
    connection->sent.append(static_cast<const char*>(buf), static_cast<std::size_t>(len));
    return len;
}

int32_t TBytesBinding::sendto(TSocket s, const void* buf, int32_t len, int32_t flags, const sockaddr*, socklen_t)
{
    return send(s, buf, len, flags);
}

int32_t TBytesBinding::shutdown(TSocket s, int32_t how)
{
    std::lock_guard<std::mutex> lock(mutex_);
    Connection* connection = Find(s);
    if (!connection)
        return SOCKET_ERROR;
    connection->receiveShut = connection->receiveShut || how != SD_SEND;
    connection->sendShut = connection->sendShut || how != SD_RECEIVE;
    return 0;
}

int32_t TBytesBinding::closesocket(TSocket s)
{
    std::lock_guard<std::mutex> lock(mutex_);
    Connection* connection = Find(s);
    if (!connection)
        return SOCKET_ERROR;
    connection->closed = true;
    return 0;
}

int32_t TBytesBinding::WaitReadable(TSocket s, int32_t)
{
    // The rest of the input, or end of file, is always there at once.
    std::lock_guard<std::mutex> lock(mutex_);
    return Find(s) ? 1 : SOCKET_ERROR;
}

int32_t TBytesBinding::setsockopt(TSocket s, int32_t, int32_t, const void*, socklen_t)
{
    std::lock_guard<std::mutex> lock(mutex_);
    return Find(s) ? 0 : SOCKET_ERROR;
}

int32_t TBytesBinding::select(int32_t, fd_set*, fd_set*, fd_set*, timeval*)
{
    return Fail(kNotSupported, SOCKET_ERROR);
}

int32_t TBytesBinding::connect(TSocket, const sockaddr*, socklen_t)
{
    return Fail(kNotSupported, SOCKET_ERROR);
}

int32_t TBytesBinding::listen(TSocket, int32_t)
{
    return Fail(kNotSupported, SOCKET_ERROR);
}

TSocket TBytesBinding::accept(TSocket, sockaddr*, socklen_t*)
{
    return Fail(kNotSupported, INVALID_SOCKET);
}

int32_t TBytesBinding::bind(TSocket, const sockaddr*, socklen_t)
{
    return Fail(kNotSupported, SOCKET_ERROR);
}

TSocket TBytesBinding::socket(int32_t, int32_t, int32_t)
{
    return Fail(kNotSupported, INVALID_SOCKET);
}

hostent* TBytesBinding::gethostbyaddr(const void*, socklen_t, int)
{
    lastBytesError = kNotSupported;
    return nullptr;
}

hostent* TBytesBinding::gethostbyname(const char*)
{
    lastBytesError = kNotSupported;
    return nullptr;
}

int32_t TBytesBinding::gethostname(char*, int32_t)
{
    return Fail(kNotSupported, SOCKET_ERROR);
}

uint16_t TBytesBinding::htons(uint16_t hostshort)
{
    return ::htons(hostshort);
}

uint16_t TBytesBinding::ntohs(uint16_t netshort)
{
    return ::ntohs(netshort);
}

uint32_t TBytesBinding::inet_addr(const char* cp)
{
    return ::inet_addr(cp);
}

std::string TBytesBinding::inet_ntoa(in_addr in)
{
    char text[INET_ADDRSTRLEN] = {};
    return ::inet_ntop(AF_INET, &in, text, sizeof text) ? std::string(text) : std::string();
}
