// The accept thread: one accepted connection per round, each handed to a session thread of its own.

#include "NetListener.h"

#include "ActivityClock.h"

#include <cstring>

void TNetListenerThread::Run()
{
    Listener->AcceptOne(*this);
}

void TNetListenerThread::AfterRun()
{
    Listener->Disconnect();
}

void TNetListener::AcceptOne(TNetListenerThread& acceptThread)
{
    sockaddr record {};
    socklen_t length = sizeof record;
    const TSocket handle = UseSocket([&](TSocket s) { return SocketBinding->accept(s, &record, &length); });
    if (CheckSocketResult(handle, { WsaError::Interrupted })) {
        acceptThread.Terminate();
        return;
    }
    sockaddr_in peer {};
    std::memcpy(&peer, &record, sizeof peer);

    auto connection = std::make_unique<TNetServer>(this);
    connection->SetSocket(handle);
    connection->BoundIP = BoundIP;
    connection->SetPeerIP(FormatIPAddress(peer.sin_addr.s_addr));
    connection->PeerPort.store(peer.sin_port);
    connection->LastActivity.store(NowDateTime());
    connection->InTimeoutHandler.store(false);

    std::unique_ptr<TNetServerThread> thread;
    if (OnCreateThread)
        OnCreateThread(connection, thread);
    if (!thread)
        thread = std::make_unique<TNetServerThread>(std::move(connection));
    thread->SetCounter(sessionCounter_);

    // Listed and started under the lock, so nobody can stop and free it in between.
    auto locked = threads_->LockList();
    locked.Items().push_back(thread.get());
    thread.release()->Resume();
}
