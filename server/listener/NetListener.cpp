#include "server/listener/NetListener.h"

#include <netinet/in.h>
#include <netinet/tcp.h>

#include <vector>

TNetListener::TNetListener(TComponent* owner)
    : TNetComponent(owner)
    , timeoutTimer_(TimerFactory())
    , threads_(std::make_unique<TNetServerThreadList>())
{
}

TNetListener::~TNetListener()
{
    Shutdown();
}

void TNetListener::Shutdown()
{
    if (!threads_)
        return;
    // The timeout check walks the session list: it goes first.
    timeoutTimer_.reset();
    // Whatever the component state: an accept thread left running would never be joined.
    StopListening();
    threads_->StopAllThreads();
    sessionCounter_->WaitForZero();
    threads_.reset();
}

void TNetListener::SetActive(bool value)
{
    if (value == active_)
        return;
    if (LoadingOrDesigning()) {
        active_ = value;
        return;
    }
    if (value) {
        AllocateSocket(SOCK_STREAM);
        try {
            StartListening();
        } catch (...) {
            // A listener that could not start holds no port while it waits for another try.
            CloseSocket();
            throw;
        }
        active_ = true;
    } else {
        StopListening();
    }
}

void TNetListener::StartListening()
{
    Bind();
    if (DeferAcceptSeconds > 0) {
        const int seconds = DeferAcceptSeconds;
        UseSocket([&](TSocket s) {
            return SocketBinding->setsockopt(s, IPPROTO_TCP, TCP_DEFER_ACCEPT, &seconds, sizeof seconds);
        });
    }
    if (UnsentBytesLimit > 0) {
        // Set on the listening socket, every accepted one inherits it: no call per connection.
        const int bytes = UnsentBytesLimit;
        UseSocket([&](TSocket s) {
            return SocketBinding->setsockopt(s, IPPROTO_TCP, TCP_NOTSENT_LOWAT, &bytes, sizeof bytes);
        });
    }
    Listen(ListenBacklog);
    listenerThread_ = std::make_unique<TNetListenerThread>(*this);
    listenerThread_->Resume();
}

void TNetListener::StopListening()
{
    if (listenerThread_) {
        // Closing the listening socket makes the blocked accept fail, which ends the accept loop;
        // a loop that is pausing or waiting for room sees the socket closed once woken.
        listenerThread_->Listener->Disconnect();
        {
            std::lock_guard<std::mutex> lock(acceptMutex_);
        }
        acceptWake_.notify_all();
        listenerThread_->TerminateAndWaitFor();
        listenerThread_.reset();
    }
    active_ = false;
}

void TNetListener::SetSessionTimeout(int32_t minutes)
{
    if (minutes < 0)
        // Kept as written, misspelling included: callers match this exact text.
        throw Exception("Invliad SessionTimeout value.");
    timeoutTimer_.reset();
    sessionTimeout_.store(minutes);
    if (minutes > 0) {
        timeoutTimer_ = TimerFactory();
        timeoutTimer_->Start(TimeoutCheckInterval, [this] { CheckTimeouts(); });
    }
}

void TNetListener::Loaded()
{
    TNetComponent::Loaded();
    if (active_) {
        active_ = false;
        SetActive(true);
    }
}

void TNetListener::CheckTimeouts()
{
    std::vector<TNetServerThread*> expired;
    {
        auto locked = threads_->LockList();
        auto& items = locked.Items();
        const std::chrono::minutes limit(SessionTimeout());
        for (auto i = static_cast<std::ptrdiff_t>(items.size()) - 1; i >= 0; --i) {
            TNetServerThread* thread = items[static_cast<size_t>(i)];
            TNetServer& connection = *thread->Connection();
            if (connection.IdleTime() < limit || connection.InTimeoutHandler.load())
                continue;
            bool keepAlive = false;
            if (OnSessionTimeout) {
                connection.InTimeoutHandler.store(true);
                OnSessionTimeout(*thread, keepAlive);
                connection.InTimeoutHandler.store(false);
            }
            if (keepAlive) {
                connection.MarkActive();
            } else {
                items.erase(items.begin() + i);
                expired.push_back(thread);
            }
        }
    }
    // Out of the list already; the timer's thread is none of them, so each is closed, waited
    // for and freed.
    for (TNetServerThread* thread : expired)
        threads_->StopThread(*thread);
}

void TNetListener::DoConnect(TNetServerThread& thread)
{
    if (OnConnect)
        OnConnect(thread);
}

void TNetListener::DoDisconnect(TNetServerThread& thread)
{
    if (OnDisconnect)
        OnDisconnect(thread);
}

bool TNetListener::HandleConnection(TNetServerThread& thread)
{
    if (!OnExecute)
        return false;
    OnExecute(thread);
    return true;
}
