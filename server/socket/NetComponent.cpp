#include "server/socket/NetComponent.h"

#include <cstring>

bool CheckSocketResult(int32_t result, std::initializer_list<int32_t> tolerated)
{
    if (result != SOCKET_ERROR)
        return false;
    const int32_t error = SocketBinding->LastError();
    for (const int32_t code : tolerated) {
        if (code == error)
            return true;
    }
    RaiseSocketError(error);
}

void RaiseSocketError(int32_t code)
{
    throw ENetSocketError(SocketBinding->SocketErrorText(code), code);
}

TNetComponent::TNetComponent(TComponent* owner)
    : TNetBase(owner)
{
}

TNetComponent::~TNetComponent()
{
    if (Connected())
        TNetComponent::Disconnect();
    CloseLogs();
}

void TNetComponent::CloseSocket()
{
    const TSocket handle = socketHandle_.exchange(INVALID_SOCKET);
    if (handle != INVALID_SOCKET) {
        // No call on the socket: close at once (the handle is out of reach of new calls). A call
        // under way, on another thread: wake it, then close once it has left the library.
        std::unique_lock<std::mutex> lock(ioMutex_, std::try_to_lock);
        if (!lock.owns_lock()) {
            SocketBinding->shutdown(handle, SD_BOTH);
            lock.lock();
        }
        SocketBinding->closesocket(handle);
    }
    CloseLogs();
}

void TNetComponent::Disconnect()
{
    if (Connected())
        CloseSocket();
}

void TNetComponent::AllocateSocket(int32_t type)
{
    if (Connected())
        CloseSocket();
    const TSocket handle = SocketBinding->socket(AF_INET, type, 0);
    if (handle == INVALID_SOCKET)
        throw ENetInvalidSocket("Cannot allocate socket.");
    SetSocketHandle(handle);
}

void TNetComponent::Bind()
{
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = SocketBinding->htons(static_cast<uint16_t>(Port));
    address.sin_addr.s_addr = BoundIP.empty() ? 0 : SocketBinding->inet_addr(BoundIP.c_str());
    sockaddr record {};
    static_assert(sizeof record == sizeof address);
    std::memcpy(&record, &address, sizeof address);
    const int32_t result = UseSocket([&](TSocket s) { return SocketBinding->bind(s, &record, sizeof record); });
    if (CheckSocketResult(result, { WsaError::AddressInUse }))
        throw ENetAddressInUse("Could not bind socket. Address and port are already in use.");
}

void TNetComponent::Listen(int32_t backlog)
{
    // Another socket that bound the same port (both with SO_REUSEADDR) and started listening
    // first makes this listen fail instead of the bind: the port is just as taken.
    const int32_t result = UseSocket([&](TSocket s) { return SocketBinding->listen(s, backlog); });
    if (CheckSocketResult(result, { WsaError::AddressInUse }))
        throw ENetAddressInUse("Could not bind socket. Address and port are already in use.");
}

std::string TNetComponent::FormatIPAddress(uint32_t address)
{
    unsigned char bytes[4];
    std::memcpy(bytes, &address, sizeof bytes);
    return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." + std::to_string(bytes[2]) + "."
        + std::to_string(bytes[3]);
}

void TNetComponent::OpenReadLog()
{
    std::lock_guard<std::mutex> lock(logMutex_);
    CloseLogFile(readLogHandle_);
    readLogHandle_ = OpenLogFile(ReadLogName);
}

void TNetComponent::OpenWriteLog()
{
    std::lock_guard<std::mutex> lock(logMutex_);
    CloseLogFile(writeLogHandle_);
    writeLogHandle_ = OpenLogFile(WriteLogName);
}

int32_t TNetComponent::ReadLogHandle()
{
    std::lock_guard<std::mutex> lock(logMutex_);
    return readLogHandle_;
}

int32_t TNetComponent::WriteLogHandle()
{
    std::lock_guard<std::mutex> lock(logMutex_);
    return writeLogHandle_;
}

void TNetComponent::AppendToReadLog(const char* data, int32_t count)
{
    std::lock_guard<std::mutex> lock(logMutex_);
    AppendToLogFile(readLogHandle_, data, count);
}

void TNetComponent::AppendToWriteLog(const char* data, int32_t count)
{
    std::lock_guard<std::mutex> lock(logMutex_);
    AppendToLogFile(writeLogHandle_, data, count);
}

void TNetComponent::CloseLogs()
{
    std::lock_guard<std::mutex> lock(logMutex_);
    CloseLogFile(readLogHandle_);
    CloseLogFile(writeLogHandle_);
    readLogHandle_ = -1;
    writeLogHandle_ = -1;
}
