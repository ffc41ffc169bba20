#include "server/listener/NetServerThread.h"

#include "server/listener/NetListener.h"

#include <thread>

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
