#pragma once

#include "server/socket/Component.h"
#include "server/socket/NetExceptions.h"
#include "server/socket/WinsockIntf.h"

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <string>

// True when a socket call failed with one of the tolerated Windows Sockets errors; false when it
// succeeded. Any other failure raises ENetSocketError.
bool CheckSocketResult(int32_t result, std::initializer_list<int32_t> tolerated);
// Raises ENetSocketError with SocketErrorText(code).
[[noreturn]] void RaiseSocketError(int32_t code);

class TNetBase : public TComponent {
public:
    using TComponent::TComponent;
};

// A component that owns one socket: allocates, binds, listens and closes it.
//
// One thread at a time reads and writes the socket. Any other thread may close it (CloseSocket or
// Disconnect) to stop that thread: the handle becomes -1 first, the socket is shut down, which
// wakes a call blocked in it, and only when no call is inside the library on the old handle is it
// closed, so that a number the system hands out again is never used by mistake.
class TNetComponent : public TNetBase {
public:
    explicit TNetComponent(TComponent* owner);
    ~TNetComponent() override;

    // The component suite's own version text, kept as written for whatever reads it.
    static constexpr const char* kVersion = "7.037B";
    std::string Version() const { return kVersion; }
    void SetVersion(const std::string&) { } // read-only: assigning does nothing

    TSocket SocketHandle() const { return socketHandle_.load(); }
    bool Connected() const { return SocketHandle() != INVALID_SOCKET; }

    virtual void CloseSocket();
    virtual void Disconnect();

    // A new Internet socket of the type (1 = stream); any socket held before is closed.
    void AllocateSocket(int32_t type);
    // Binds to BoundIP (empty: any address) and Port.
    void Bind();
    void Listen(int32_t backlog = 5);

    // The dotted text of an IPv4 address as it stands in an address record.
    static std::string FormatIPAddress(uint32_t address);

    // Debug logs: bit 0 of DebugFlags logs received bytes, bit 1 sent bytes, to the log file of
    // that direction when one is open.
    void OpenReadLog();
    void OpenWriteLog();
    int32_t ReadLogHandle();
    int32_t WriteLogHandle();

    int32_t Port = 0;
    std::string BoundIP;
    int32_t DebugFlags = 0;
    // Default log names kept as written; a program that switches logging on sets its own.
    std::string ReadLogName = "C:\\NETR.LOG";
    std::string WriteLogName = "C:\\NETW.LOG";
    int32_t ReadLogMark = 1;
    int32_t WriteLogMark = 0;

    // Runs call(handle) while the handle cannot be closed by another thread (see the class note).
    // Every socket call on the handle goes through here.
    template <class Call> auto UseSocket(Call call)
    {
        std::lock_guard<std::mutex> lock(ioMutex_);
        return call(socketHandle_.load());
    }

protected:
    void SetSocketHandle(TSocket handle) { socketHandle_.store(handle); }
    void AppendToReadLog(const char* data, int32_t count);
    void AppendToWriteLog(const char* data, int32_t count);
    void CloseLogs();

private:
    std::atomic<TSocket> socketHandle_ { INVALID_SOCKET };
    // Held by the thread inside a socket call and by the closer around the final close.
    std::mutex ioMutex_;
    std::mutex logMutex_;
    int32_t readLogHandle_ = -1;
    int32_t writeLogHandle_ = -1;
};
