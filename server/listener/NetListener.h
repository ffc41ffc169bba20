#pragma once

#include "server/listener/NetServerThread.h"
#include "server/listener/NetTimer.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

// The accept thread: one connection per round, each handed to a new session thread.
class TNetListenerThread : public TTorvelThread {
public:
    explicit TNetListenerThread(TNetListener& listener)
        : Listener(&listener)
    {
    }
    ~TNetListenerThread() override { WaitForUnlessSelf(); }

    TNetListener* Listener; // not owned

protected:
    void Run() override;
    // Closes the listening socket however the accept thread ends.
    void AfterRun() override;
};

// A multi-threaded TCP server: while Active it listens on BoundIP:Port with one accept thread and
// serves every connection on a session thread of its own through HandleConnection.
//
// Set the properties and events before switching Active on; session threads read them unlocked.
//
// Shutdown order (destructor): the timeout timer stops first, because its check walks the session
// list; then Active := false waits for the accept thread, so no session starts afterwards; then
// every listed session is stopped and freed; then the destructor waits until threads that freed
// themselves have left the listener's code. A subclass whose HandleConnection uses members of its
// own must call Shutdown() in its destructor, before those members go.
class TNetListener : public TNetComponent {
public:
    explicit TNetListener(TComponent* owner);
    ~TNetListener() override;

    bool Active() const { return active_; }
    // Switching on binds and listens (an error reaches the caller and Active stays false) and
    // starts the accept thread; switching off closes the listening socket and waits for the accept
    // thread. Sessions in progress are left to end by themselves.
    void SetActive(bool value);
    // Connections the kernel completes before the accept loop takes them; set before switching
    // on. When they overflow, the kernel drops the handshake's last step and, under a burst, gives
    // up on such half-open connections: clients that had sent their whole request see them reset.
    // With 5, a burst of a few dozen clients already lost requests; 128 absorbs any burst a
    // browser engine makes, and a server expecting heavier load raises it further.
    int32_t ListenBacklog = 128;
    // Live sessions at most. A connection beyond them closes the session that has waited longest
    // for its client (blocked in a receive or send for at least StallGrace), so that clients that
    // neither send nor read can only push each other out, never a session at work; only while
    // every session is at work do new connections wait in the listen queue. 0: no limit.
    int32_t MaxConnections = 0;
    // How long a session must have waited for its client before a new connection may close it:
    // a client that reads its answer at once is never pushed out between two sends.
    std::chrono::milliseconds StallGrace { 10 };
    // Above 0, the system hands a connection over only once its first bytes have arrived (or that
    // many seconds after it was made), so that a session starts with its request at hand instead
    // of sleeping until it comes; set before switching on. 0: every connection at once.
    int32_t DeferAcceptSeconds = 0;
    // With DeferAcceptSeconds, a connection that has sent nothing when it is handed over (the
    // client stayed silent for the whole deferral) is closed at once instead of holding a session
    // until its idle timeout: for a server whose clients send their request as they connect.
    bool CloseSilentConnections = false;
    // Above 0, a send waits once this many bytes are queued that the client has not taken yet,
    // instead of copying a whole answer into the system's buffers: a client that does not read
    // then costs that much, while one that reads is not slowed. Set before switching on.
    int32_t UnsentBytesLimit = 0;
    // How often CheckTimeouts runs while SessionTimeout is set; set before SessionTimeout.
    std::chrono::milliseconds TimeoutCheckInterval = kTimeoutCheckInterval;
    int32_t SessionTimeout() const { return sessionTimeout_.load(); }
    // Minutes of idleness after which CheckTimeouts ends a connection; 0 = never. A negative value
    // raises Exception "Invliad SessionTimeout value.".
    void SetSessionTimeout(int32_t minutes);
    void Loaded() override;

    // Ends the connections idle for longer than SessionTimeout, unless OnSessionTimeout keeps them
    // alive. Runs on the timer's thread with the session list locked during the handler.
    void CheckTimeouts();

    virtual void DoConnect(TNetServerThread& thread);
    virtual void DoDisconnect(TNetServerThread& thread);
    // Serves thread.Connection() for one round, on its session thread: calls OnExecute and gives
    // true, or gives false when there is none. Overrides call this first.
    virtual bool HandleConnection(TNetServerThread& thread);

    TNetServerThreadList& Threads() { return *threads_; }
    TNetListenerThread* ListenerThread() const { return listenerThread_.get(); }
    TNetTimer* TimeoutTimer() const { return timeoutTimer_.get(); }

    static constexpr std::chrono::milliseconds kTimeoutCheckInterval { 50000 };
    // The accept loop's pause after a failed accept: it starts at kFirstAcceptPause and doubles
    // with every failure in a row up to kLongestAcceptPause, so that a passing shortage (no
    // descriptors, no memory, no thread) is retried soon after it ends without spinning meanwhile.
    static constexpr std::chrono::milliseconds kFirstAcceptPause { 1 };
    static constexpr std::chrono::milliseconds kLongestAcceptPause { 100 };

    TTimeoutEvent OnSessionTimeout;
    TServerEvent OnExecute;
    TServerEvent OnConnect;
    TServerEvent OnDisconnect;
    TCreateThreadEvent OnCreateThread;
    // Makes the session timeout timers; set it before SessionTimeout.
    TNetTimerFactory TimerFactory = [] { return std::make_unique<TThreadTimer>(); };

protected:
    // Stops the timer, the accept thread and every session; safe to call more than once.
    void Shutdown();

private:
    friend class TNetListenerThread;
    void AcceptOne(TNetListenerThread& acceptThread);
    // Starts a session thread for an accepted connection; raises when none can be made.
    void StartSession(TSocket handle, const sockaddr& record);
    // Below MaxConnections, or closes the session stalled longest to get there, or waits while
    // every session is at work; false when the accept loop is to end (switched off) first.
    bool MakeRoom(TNetListenerThread& acceptThread);
    // Closes the listed session that has waited longest for its client, when that is StallGrace
    // or more; none when no session has waited so long, or when a session closed before is still
    // leaving.
    void CloseLongestStalledSession();
    // Waits out the pause after a failed accept; returns early when the loop is to end.
    void PauseAccepting(TNetListenerThread& acceptThread);
    bool AcceptLoopEnding(TNetListenerThread& acceptThread) const;
    // Binds, listens and starts the accept thread on the socket just allocated.
    void StartListening();
    void StopListening();

    bool active_ = false;
    std::atomic<int32_t> sessionTimeout_ { 0 };
    std::unique_ptr<TNetTimer> timeoutTimer_;
    std::unique_ptr<TNetListenerThread> listenerThread_;
    std::unique_ptr<TNetServerThreadList> threads_;
    // Counts session threads until their bodies have finished, including those freeing themselves.
    std::shared_ptr<TThreadCounter> sessionCounter_ = std::make_shared<TThreadCounter>();
    // Wakes the accept loop from a pause when the listener is switched off.
    std::mutex acceptMutex_;
    std::condition_variable acceptWake_;
    std::chrono::milliseconds acceptPause_ { 0 }; // used by the accept thread only
};
