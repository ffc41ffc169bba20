#pragma once

#include "server/listener/NetServer.h"
#include "server/listener/RoundThread.h"
#include "server/listener/ThreadList.h"

#include <functional>
#include <memory>

class TNetServerThread;

using TServerEvent = std::function<void(TNetServerThread& Thread)>;
// May supply the thread for a new connection: created with the connection (moved into it) and
// not started.
using TCreateThreadEvent
    = std::function<void(std::unique_ptr<TNetServer>& pConnection, std::unique_ptr<TNetServerThread>& pThread)>;
using TTimeoutEvent = std::function<void(TNetServerThread& Thread, bool& KeepAlive)>;

// The thread that serves one connection: rounds of the listener's HandleConnection while the
// connection is open. It owns the connection and Data.
class TNetServerThread : public TTorvelThread {
public:
    explicit TNetServerThread(std::unique_ptr<TNetServer> connection);
    ~TNetServerThread() override;

    TNetServer* Connection() const { return connection_.get(); }

    // Anything the application wants to keep with the session; freed with the thread.
    std::shared_ptr<void> Data;

protected:
    void BeforeRun() override;
    void Run() override;
    void AfterRun() override;

private:
    std::unique_ptr<TNetServer> connection_;
};

// The live session threads. A thread is listed while it runs; whoever takes it out frees it: the
// thread itself (free-on-termination) when it removes itself, otherwise the remover after waiting.
// The lock guards list membership only and is never held while a thread is waited for.
class TNetServerThreadList : public TThreadList<TNetServerThread> {
public:
    // Takes the thread out of the list and, when it was listed, stops it; true when it was.
    bool RemoveThread(TNetServerThread& thread);
    // Closes the thread's connection; then marks it to free itself when called on that thread,
    // else waits for it and frees it.
    void StopThread(TNetServerThread& thread);
    void StopAllThreads();
};
