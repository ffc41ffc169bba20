// The accept thread: one accepted connection per round, each handed to a session thread of its own.

#include "server/listener/NetListener.h"

#include <algorithm>
#include <cstring>

void TNetListenerThread::Run()
{
    Listener->AcceptOne(*this);
}

void TNetListenerThread::AfterRun()
{
    Listener->Disconnect();
}

bool TNetListener::AcceptLoopEnding(TNetListenerThread& acceptThread) const
{
    return acceptThread.Terminated() || !Connected();
}

bool TNetListener::MakeRoom(TNetListenerThread& acceptThread)
{
    // Sliced, so that switching off is seen within one slice even when no session ends.
    constexpr std::chrono::milliseconds kSlice { 10 };
    while (MaxConnections > 0 && !sessionCounter_->WaitForFewerThan(MaxConnections, std::chrono::milliseconds(0))) {
        if (AcceptLoopEnding(acceptThread))
            return false;
        // Closing the session stalled longest makes room at once: the new connection need not
        // wait for an idle timeout. While every session is at work, it waits for one to end.
        CloseLongestStalledSession();
        sessionCounter_->WaitForFewerThan(MaxConnections, kSlice);
    }
    return !AcceptLoopEnding(acceptThread);
}

void TNetListener::CloseLongestStalledSession()
{
    const auto graceEnds = std::chrono::steady_clock::now() - StallGrace;
    auto locked = threads_->LockList();
    TNetServer* longest = nullptr;
    std::chrono::steady_clock::time_point longestSince;
    for (TNetServerThread* thread : locked.Items()) {
        TNetServer& connection = *thread->Connection();
        // A session closed already is room on its way: its thread only has to leave. Closing
        // another meanwhile would push out more clients than new ones came.
        if (!connection.Connected())
            return;
        // A session at work (reading its page, not yet started) is no candidate.
        const auto since = connection.WaitingForPeerSince();
        if (!since || *since > graceEnds)
            continue;
        if (!longest || *since < longestSince) {
            longest = &connection;
            longestSince = *since;
        }
    }
    // Closed while listed, so under the lock: the session cannot free itself meanwhile. Closing
    // wakes the send or receive it waits in; it then ends and leaves the list by itself.
    if (longest)
        longest->Disconnect();
}

void TNetListener::PauseAccepting(TNetListenerThread& acceptThread)
{
    acceptPause_ = acceptPause_.count() == 0 ? kFirstAcceptPause : std::min(2 * acceptPause_, kLongestAcceptPause);
    std::unique_lock<std::mutex> lock(acceptMutex_);
    acceptWake_.wait_for(lock, acceptPause_, [&] { return AcceptLoopEnding(acceptThread); });
}

void TNetListener::AcceptOne(TNetListenerThread& acceptThread)
{
    sockaddr record {};
    socklen_t length = sizeof record;
    const TSocket handle = UseSocket([&](TSocket s) { return SocketBinding->accept(s, &record, &length); });
    if (handle == INVALID_SOCKET) {
        // An interrupted accept ends the loop quietly, and so does one whose listening socket was
        // closed: that is how switching off stops it.
        if (SocketBinding->LastError() == WsaError::Interrupted || AcceptLoopEnding(acceptThread)) {
            acceptThread.Terminate();
            return;
        }
        // Any other failure is taken as passing (no descriptors or memory left, a connection
        // aborted before it was taken): ending the loop here would refuse every later connection
        // for good. The connection waits in the listen queue meanwhile.
        PauseAccepting(acceptThread);
        return;
    }
    // Deferred accepting hands over a connection without its first bytes once the client has
    // stayed silent for the whole deferral, and also, before any bytes, when the system's queue
    // for the port is full: only the first kind is closed, the second gets a session like any.
    if (CloseSilentConnections && DeferAcceptSeconds > 0 && SocketBinding->WaitReadable(handle, 0) == 0
        && SocketBinding->DeferralRanOut(handle)) {
        SocketBinding->closesocket(handle);
        acceptPause_ = std::chrono::milliseconds(0);
        return;
    }
    // Room is made once a connection is there to take it, never ahead of one.
    if (!MakeRoom(acceptThread)) {
        SocketBinding->closesocket(handle);
        acceptThread.Terminate();
        return;
    }
    try {
        StartSession(handle, record);
        acceptPause_ = std::chrono::milliseconds(0);
    } catch (...) {
        // No session could be made for it (no memory, no thread): the connection has been closed,
        // and the loop pauses as after a failed accept.
        PauseAccepting(acceptThread);
    }
}

void TNetListener::StartSession(TSocket handle, const sockaddr& record)
{
    std::unique_ptr<TNetServer> connection;
    try {
        connection = std::make_unique<TNetServer>(this);
    } catch (...) {
        SocketBinding->closesocket(handle);
        throw;
    }
    connection->SetSocket(handle);
    sockaddr_in peer {};
    std::memcpy(&peer, &record, sizeof peer);
    connection->BoundIP = BoundIP;
    connection->SetPeerIP(FormatIPAddress(peer.sin_addr.s_addr));
    connection->PeerPort.store(peer.sin_port);
    connection->MarkActive();
    connection->InTimeoutHandler.store(false);

    // Whatever is left of connection or thread when this raises is freed, which closes the socket.
    std::unique_ptr<TNetServerThread> thread;
    if (OnCreateThread)
        OnCreateThread(connection, thread);
    if (!thread)
        thread = std::make_unique<TNetServerThread>(std::move(connection));
    thread->SetCounter(sessionCounter_);

    // Listed and marked started under the lock: a stopper that takes it from the list from then on
    // waits for its body instead of freeing it under this thread. The body is handed over after
    // the lock is released, so that waking a system thread does not keep ending sessions waiting
    // for the list.
    {
        auto locked = threads_->LockList();
        locked.Items().push_back(thread.get());
        thread->MarkStarted();
    }
    try {
        thread->Dispatch();
    } catch (...) {
        // Still listed: it is this thread's to free. Taken by a stopper meanwhile: the stopper's,
        // which frees it once it sees the body ended.
        if (!threads_->Remove(thread.get()))
            thread.release();
        throw;
    }
    thread.release();
}
