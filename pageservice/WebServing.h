#pragma once

#include <chrono>
#include <cstdint>

// How a page server serves browsers on the web (TPageServer::ServeTheWeb): persistent HTTP/1.1
// connections, closed after keepAliveIdle without a request or after maxRequestsPerConnection
// requests (0: no cap).
struct TWebServing {
    std::chrono::seconds keepAliveIdle { 5 };
    int32_t maxRequestsPerConnection = 100;
};
