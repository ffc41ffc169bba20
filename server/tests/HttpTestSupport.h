#pragma once

#include "server/http/HTTPListener.h"
#include "server/tests/SocketTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

// Drives one request through a listener's HandleConnection on the calling thread, over a socket
// pair instead of a listening socket.
class HttpExchange {
public:
    HttpExchange() { listener.BoundIP = "127.0.0.1"; }

    // Sends the request, serves it and returns every byte the listener answered. Exceptions from
    // HandleConnection pass to the caller.
    std::string Serve(const std::string& request, bool peerClosesFirst = false)
    {
        SocketPair pair;
        auto connection = std::make_unique<TNetServer>(&listener);
        connection->SetSocket(pair.ReleaseServer());
        TNetServerThread thread(std::move(connection));
        SendAll(pair.Peer(), request);
        if (peerClosesFirst)
            pair.ClosePeer();
        else
            pair.ShutdownPeerWrite();
        listener.HandleConnection(thread);
        EXPECT_FALSE(thread.Connection()->Connected()) << "one request per connection";
        return peerClosesFirst ? std::string() : ReadUntilClosed(pair.Peer());
    }

    TNetHTTPListener listener { nullptr };
};
