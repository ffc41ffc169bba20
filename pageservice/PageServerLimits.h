#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

class TNetHTTPListener;

// What the clients of a page server may cost it. The viewer's only legitimate client is its own
// engine, which never comes near these; any other local program, or a web page that makes the
// user's browser connect, must not drive it out of memory or descriptors.
struct TPageServerLimits {
    // Inflated pages in memory at once, answers in flight and cache together (a page larger than
    // that is still served, alone); of them, cacheBytes may be kept for requests to come.
    std::size_t memoryBytes = 64u << 20;
    std::size_t cacheBytes = 0;
    // Live connections at most; more wait in the listen queue. Well under the descriptor limit,
    // which the viewer shares with its engine.
    int32_t maxConnections = 128;
    // A connection that sends nothing, or whose request is not complete, for this long is closed;
    // 0: never.
    int32_t idleMinutes = 1;
    // One request at most, in bytes; beyond it the connection is closed unanswered.
    int32_t maxRequestLine = 256 * 1024;
    int32_t maxHeaderBytes = 256 * 1024;
    int32_t maxBody = 1 << 20;
    // A client that connects and stays silent is handed over after this long, and then closed at
    // once when closeSilent is set (the viewer's engine sends its request as it connects), so
    // that silent connections never hold sessions; otherwise its idle timeout runs.
    int32_t deferAcceptSeconds = 5;
    bool closeSilent = true;
    // Bytes of an answer queued in the system beyond what its client has taken; a client that
    // stops reading holds no more of the page in the system's buffers than that.
    int32_t unsentBytes = 128 * 1024;
    // How often idle connections are looked for: a connection goes within this much after its
    // limit.
    std::chrono::milliseconds idleCheckInterval { 10000 };
};

// Sets the listener's limits and its idle check. A connection is idle while its session sends
// nothing: a client that reads its answer slowly keeps it, one that stopped reading does not, and
// a request that is not complete within the timeout is ended too.
void ApplyPageServerLimits(const TPageServerLimits& limits, TNetHTTPListener& listener);
