#pragma once

#include "server/socket/NetSockets.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

class TNetListener;

// One accepted connection. Its component owner is the listener that accepted it.
class TNetServer : public TNetSocket {
public:
    explicit TNetServer(TComponent* owner)
        : TNetSocket(owner)
    {
    }

    void Disconnect() override;
    // Reading counts as activity for the session timeout.
    std::string ReadString(int32_t count) override;
    // Takes the handle as this connection's socket.
    virtual void SetSocket(TSocket handle) { SetSocketHandle(handle); }
    // The owner as a listener; another owner raises EInvalidCast.
    TNetListener& Listener() const;

    // The peer's port as it stands in the address record (network byte order).
    std::atomic<uint16_t> PeerPort { 0 };
    // Days since 30 December 1899, as the wall clock gave it at the last activity. The timeout
    // check measures idle time on the steady clock instead (IdleTime), so that a step of the
    // system clock closes no session.
    std::atomic<double> LastActivity { 0.0 };
    // Stamps the activity on both clocks; `when` is for tests that make a session look idle.
    void MarkActive(std::chrono::steady_clock::time_point when = std::chrono::steady_clock::now());
    // Time since MarkActive on the steady clock; read by the timeout check on another thread.
    std::chrono::steady_clock::duration IdleTime() const;
    std::atomic<bool> InTimeoutHandler { false };
    // For a timeout handler: what BytesSent was when it last looked (used by its thread only).
    int64_t BytesSentAtLastCheck = 0;
    // Requests answered on this connection (a persistent one answers several); its thread only.
    int32_t RequestsAnswered = 0;

private:
    std::atomic<std::chrono::steady_clock::rep> lastActiveSteady_ { 0 };
};
