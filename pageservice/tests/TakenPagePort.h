#pragma once

#include <cstdint>

// A page port that this test holds itself: a listening socket on 127.0.0.1 at the first page port
// from a drawn start that could be bound, held until scope exit. Tests that need a taken port take
// one this way instead of assuming that some port is free.
class TTakenPagePort {
public:
    TTakenPagePort();
    ~TTakenPagePort();
    TTakenPagePort(const TTakenPagePort&) = delete;
    TTakenPagePort& operator=(const TTakenPagePort&) = delete;

    // The port, or 0 when every page port is taken.
    int32_t Port() const { return port_; }

private:
    int socket_ = -1;
    int32_t port_ = 0;
};
