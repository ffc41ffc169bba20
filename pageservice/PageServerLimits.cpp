#include "pageservice/PageServerLimits.h"

#include "server/http/HTTPListener.h"

#include <sys/socket.h>

void ApplyPageServerLimits(const TPageServerLimits& limits, TNetHTTPListener& listener)
{
    // Clients may come in bursts of many at once.
    listener.ListenBacklog = SOMAXCONN;
    // A session is handed its connection with the request already there: one sleep and wake-up
    // less per request, and a client that connects and sends nothing holds no thread meanwhile.
    listener.DeferAcceptSeconds = limits.deferAcceptSeconds;
    listener.CloseSilentConnections = limits.closeSilent;
    listener.MaxConnections = limits.maxConnections;
    listener.UnsentBytesLimit = limits.unsentBytes;
    listener.MaxRequestLine = limits.maxRequestLine;
    listener.MaxHeaderBytes = limits.maxHeaderBytes;
    listener.MaxContentLength = limits.maxBody;
    if (limits.idleMinutes == 0)
        return;
    listener.OnSessionTimeout = [](TNetServerThread& thread, bool& keepAlive) {
        TNetServer& connection = *thread.Connection();
        const int64_t sent = connection.BytesSent.load(std::memory_order_relaxed);
        keepAlive = sent != connection.BytesSentAtLastCheck;
        connection.BytesSentAtLastCheck = sent;
    };
    listener.TimeoutCheckInterval = limits.idleCheckInterval;
    listener.SetSessionTimeout(limits.idleMinutes);
}
