// The accepted connection, its session thread, the list of live sessions and the accept thread.

#include "GlobalNet.h"
#include "servernet.h"

#include <cstring>
#include <thread>

void TNetServer::Disconnect()
{
    PeerPort.store(0);
    TNetSocket::Disconnect();
}

std::string TNetServer::ReadString(int32_t count)
{
    LastActivity.store(NowDateTime());
    return TNetSocket::ReadString(count);
}

TNetListener& TNetServer::Listener() const
{
    auto* listener = dynamic_cast<TNetListener*>(Owner());
    if (!listener)
        throw EInvalidCast();
    return *listener;
}

TNetServerThread::TNetServerThread(std::unique_ptr<TNetServer> connection)
    : connection_(std::move(connection))
{
}

TNetServerThread::~TNetServerThread()
{
    // The body must be over before the connection it serves is freed.
    WaitForUnlessSelf();
}

void TNetServerThread::BeforeRun()
{
    connection_->Listener().DoConnect(*this);
}

void TNetServerThread::Run()
{
    bool served = true;
    try {
        served = connection_->Listener().HandleConnection(*this);
    } catch (const ENetSocketError& e) {
        if (e.ErrorCode == WsaError::ConnectionReset)
            connection_->Disconnect();
    } catch (const ENetClosedSocket&) {
    }
    // A listener with nothing to serve the connection would otherwise spin through rounds.
    if (!served && connection_->Connected())
        connection_->Disconnect();
    if (!connection_->Connected())
        Terminate();
}

void TNetServerThread::AfterRun()
{
    TNetListener& listener = connection_->Listener();
    listener.DoDisconnect(*this);
    listener.Threads().RemoveThread(*this);
}

bool TNetServerThreadList::RemoveThread(TNetServerThread& thread)
{
    const bool listed = Remove(&thread);
    if (listed)
        StopThread(thread);
    return listed;
}

void TNetServerThreadList::StopThread(TNetServerThread& thread)
{
    // Closing the connection unblocks a receive the thread may be waiting in.
    thread.Connection()->Disconnect();
    if (thread.ThreadID() == std::this_thread::get_id()) {
        thread.SetFreeOnTerminate(true);
    } else {
        thread.TerminateAndWaitFor();
        delete &thread;
    }
}

void TNetServerThreadList::StopAllThreads()
{
    while (true) {
        TNetServerThread* first = nullptr;
        {
            auto locked = LockList();
            if (locked.Items().empty())
                return;
            first = locked.Items().front();
            locked.Items().erase(locked.Items().begin());
        }
        StopThread(*first);
    }
}

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
