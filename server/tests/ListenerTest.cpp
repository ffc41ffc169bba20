#include "server/listener/ActivityClock.h"
#include "server/listener/NetListener.h"
#include "server/tests/SocketTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

// A timer the test fires itself.
struct FakeTimerControl {
    std::chrono::milliseconds interval { 0 };
    std::function<void()> onTimer;
    int started = 0;
};

class FakeTimer : public TNetTimer {
public:
    explicit FakeTimer(std::shared_ptr<FakeTimerControl> control)
        : control_(std::move(control))
    {
    }
    void Start(std::chrono::milliseconds interval, std::function<void()> onTimer) override
    {
        control_->interval = interval;
        control_->onTimer = std::move(onTimer);
        ++control_->started;
    }
    void Stop() override { control_->onTimer = nullptr; }
    ~FakeTimer() override { FakeTimer::Stop(); }

private:
    std::shared_ptr<FakeTimerControl> control_;
};

// A session that waits for a line from its peer and echoes it.
void EchoOneLine(TNetServerThread& thread)
{
    TNetServer& connection = *thread.Connection();
    connection.WriteLn("echo:" + connection.ReadLn());
    connection.Disconnect();
}

} // namespace

TEST(NetListener, SwitchingOnTwiceKeepsOneAcceptThreadAndOffTwiceIsHarmless)
{
    TNetListener listener(nullptr);
    listener.BoundIP = "127.0.0.1";
    listener.OnExecute = EchoOneLine;
    const int port = ActivateOnFreePort(listener);
    ASSERT_NE(port, 0);
    TNetListenerThread* acceptThread = listener.ListenerThread();
    listener.SetActive(true);
    EXPECT_EQ(listener.ListenerThread(), acceptThread);

    LoopbackClient client(port);
    ASSERT_TRUE(client.Connected());
    client.Send("hi\r\n");
    EXPECT_EQ(client.ReadAll(), "echo:hi\r\n");

    listener.SetActive(false);
    listener.SetActive(false);
    EXPECT_FALSE(listener.Active());
    EXPECT_EQ(listener.ListenerThread(), nullptr);
    EXPECT_FALSE(LoopbackClient(port).Connected());

    // The same port binds again although the served connection may linger in TIME_WAIT.
    listener.SetActive(true);
    LoopbackClient again(port);
    ASSERT_TRUE(again.Connected());
    again.Send("x\r\n");
    EXPECT_EQ(again.ReadAll(), "echo:x\r\n");
}

TEST(NetListener, ListenerReadFromALayoutStartsOnceLoaded)
{
    TNetListener listener(nullptr);
    listener.BoundIP = "127.0.0.1";
    listener.OnExecute = EchoOneLine;
    // Loaded is what binds the port: one that another program holds by then is passed over, so
    // the test never counts on a port it did not take staying free.
    const int base = 20000 + static_cast<int>(getpid() % 20000);
    int port = 0;
    for (int attempt = 0; attempt < 500 && port == 0; ++attempt) {
        listener.Port = base + (attempt * 37) % 20000;
        listener.SetComponentState(TComponent::csLoading);
        listener.SetActive(true);
        EXPECT_TRUE(listener.Active());
        EXPECT_EQ(listener.ListenerThread(), nullptr);
        try {
            listener.Loaded();
            port = listener.Port;
        } catch (const ENetException&) {
            EXPECT_FALSE(listener.Active());
        }
    }
    ASSERT_NE(port, 0);
    ASSERT_NE(listener.ListenerThread(), nullptr);
    LoopbackClient client(port);
    client.Send("up\r\n");
    EXPECT_EQ(client.ReadAll(), "echo:up\r\n");
    // Destruction stops the accept thread also in design mode, where Active only sets the field.
    listener.SetComponentState(TComponent::csDesigning);
}

TEST(NetListener, PortInUseIsReportedAndLeavesTheListenerOff)
{
    TNetListener first(nullptr);
    first.BoundIP = "127.0.0.1";
    const int port = ActivateOnFreePort(first);
    ASSERT_NE(port, 0);
    TNetListener second(nullptr);
    second.BoundIP = "127.0.0.1";
    second.Port = port;
    try {
        second.SetActive(true);
        FAIL() << "no exception";
    } catch (const ENetException& e) {
        EXPECT_EQ(e.Message(), "Could not bind socket. Address and port are already in use.");
    }
    EXPECT_FALSE(second.Active());
    EXPECT_EQ(second.ListenerThread(), nullptr);
}

TEST(NetListener, ConnectionsKnowTheirPeerAndOutliveSwitchingOff)
{
    TNetListener listener(nullptr);
    listener.BoundIP = "127.0.0.1";
    std::mutex mutex;
    std::string peerIP;
    uint16_t peerPort = 0;
    listener.OnConnect = [&](TNetServerThread& thread) {
        std::lock_guard<std::mutex> lock(mutex);
        peerIP = thread.Connection()->PeerIP();
        peerPort = thread.Connection()->PeerPort.load();
    };
    listener.OnExecute = EchoOneLine;
    const int port = ActivateOnFreePort(listener);
    ASSERT_NE(port, 0);
    LoopbackClient client(port);
    ASSERT_TRUE(client.Connected());
    ASSERT_TRUE(Eventually([&] { return listener.Threads().Count() == 1; }));
    listener.SetActive(false);

    // Accepted before switching off: still served to its end.
    client.Send("late\r\n");
    EXPECT_EQ(client.ReadAll(), "echo:late\r\n");
    sockaddr_in local {};
    socklen_t length = sizeof local;
    ASSERT_EQ(getsockname(client.Handle(), reinterpret_cast<sockaddr*>(&local), &length), 0);
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(peerIP, "127.0.0.1");
    EXPECT_EQ(peerPort, local.sin_port); // network byte order, as in the address record
}

TEST(NetListener, DestroyingItClosesOpenConnectionsAndEndsEverySession)
{
    std::atomic<int> connects { 0 };
    std::atomic<int> disconnects { 0 };
    std::vector<std::unique_ptr<LoopbackClient>> clients;
    {
        TNetListener listener(nullptr);
        listener.BoundIP = "127.0.0.1";
        listener.OnConnect = [&](TNetServerThread&) { ++connects; };
        listener.OnDisconnect = [&](TNetServerThread&) { ++disconnects; };
        listener.OnExecute = EchoOneLine; // blocks in ReadLn: the clients never send
        const int port = ActivateOnFreePort(listener);
        ASSERT_NE(port, 0);
        for (int i = 0; i < 3; ++i) {
            clients.push_back(std::make_unique<LoopbackClient>(port));
            ASSERT_TRUE(clients.back()->Connected());
        }
        ASSERT_TRUE(Eventually([&] { return connects.load() == 3; }));
    }
    EXPECT_EQ(disconnects.load(), 3);
    for (auto& client : clients)
        EXPECT_EQ(client->ReadAll(), "");
}

TEST(NetListener, ListenerWithoutHandlerClosesConnections)
{
    TNetListener listener(nullptr);
    listener.BoundIP = "127.0.0.1";
    std::atomic<int> disconnects { 0 };
    listener.OnDisconnect = [&](TNetServerThread&) { ++disconnects; };
    const int port = ActivateOnFreePort(listener);
    ASSERT_NE(port, 0);
    LoopbackClient client(port);
    ASSERT_TRUE(client.Connected());
    EXPECT_EQ(client.ReadAll(), "");
    EXPECT_TRUE(Eventually([&] { return disconnects.load() == 1 && listener.Threads().Count() == 0; }));
}

TEST(NetListener, FailingOnConnectLeavesTheSessionListedUntilDestruction)
{
    auto listener = std::make_unique<TNetListener>(nullptr);
    listener->BoundIP = "127.0.0.1";
    std::atomic<bool> executed { false };
    listener->OnConnect = [](TNetServerThread&) { throw Exception("no"); };
    listener->OnExecute = [&](TNetServerThread&) { executed = true; };
    const int port = ActivateOnFreePort(*listener);
    ASSERT_NE(port, 0);
    LoopbackClient client(port);
    ASSERT_TRUE(client.Connected());
    ASSERT_TRUE(Eventually([&] { return listener->Threads().Count() == 1; }));
    listener.reset();
    EXPECT_FALSE(executed.load());
    EXPECT_EQ(client.ReadAll(), ""); // closed by the destruction
}

TEST(NetListener, CreateThreadEventMaySupplyTheSessionThread)
{
    class CountingThread : public TNetServerThread {
    public:
        CountingThread(std::unique_ptr<TNetServer> connection, std::atomic<int>& made)
            : TNetServerThread(std::move(connection))
        {
            ++made;
        }
    };
    std::atomic<int> made { 0 };
    TNetListener listener(nullptr);
    listener.BoundIP = "127.0.0.1";
    listener.OnCreateThread = [&](std::unique_ptr<TNetServer>& connection, std::unique_ptr<TNetServerThread>& thread) {
        thread = std::make_unique<CountingThread>(std::move(connection), made);
    };
    listener.OnExecute = EchoOneLine;
    const int port = ActivateOnFreePort(listener);
    ASSERT_NE(port, 0);
    LoopbackClient client(port);
    client.Send("a\r\n");
    EXPECT_EQ(client.ReadAll(), "echo:a\r\n");
    EXPECT_EQ(made.load(), 1);
}

TEST(NetListenerTimeout, IdleConnectionsEndUnlessTheHandlerKeepsThemAlive)
{
    auto timer = std::make_shared<FakeTimerControl>();
    TNetListener listener(nullptr);
    listener.BoundIP = "127.0.0.1";
    listener.TimerFactory = [timer] { return std::make_unique<FakeTimer>(timer); };
    // Every session looks idle for two minutes as soon as it starts.
    std::atomic<bool> connected { false };
    listener.OnConnect = [&](TNetServerThread& thread) {
        thread.Connection()->MarkActive(std::chrono::steady_clock::now() - std::chrono::minutes(2));
        connected = true;
    };
    std::atomic<int> disconnects { 0 };
    listener.OnDisconnect = [&](TNetServerThread&) { ++disconnects; };
    listener.OnExecute = EchoOneLine;
    bool keepAlive = true;
    int asked = 0;
    listener.OnSessionTimeout = [&](TNetServerThread& thread, bool& keep) {
        EXPECT_TRUE(thread.Connection()->InTimeoutHandler.load());
        ++asked;
        keep = keepAlive;
    };
    listener.SetSessionTimeout(1);
    EXPECT_EQ(timer->interval, std::chrono::milliseconds(50000));
    ASSERT_TRUE(timer->onTimer);
    const int port = ActivateOnFreePort(listener);
    ASSERT_NE(port, 0);
    LoopbackClient client(port);
    ASSERT_TRUE(client.Connected());
    ASSERT_TRUE(Eventually([&] { return connected.load(); }));

    timer->onTimer();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(listener.Threads().Count(), 1);
    timer->onTimer(); // kept alive: a full new period
    EXPECT_EQ(asked, 1);

    // A step of the system clock (the wall-clock stamp a day old) makes no session idle.
    {
        auto locked = listener.Threads().LockList();
        locked.Items().front()->Connection()->LastActivity.store(NowDateTime() - 1.0);
    }
    timer->onTimer();
    EXPECT_EQ(asked, 1);

    {
        auto locked = listener.Threads().LockList();
        locked.Items().front()->Connection()->MarkActive(std::chrono::steady_clock::now() - std::chrono::minutes(2));
    }
    keepAlive = false;
    timer->onTimer();
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(listener.Threads().Count(), 0);
    EXPECT_EQ(disconnects.load(), 1);
    EXPECT_EQ(client.ReadAll(), "");
}

TEST(NetListenerTimeout, NegativeTimeoutIsRefusedAndZeroStopsTheTimer)
{
    auto timer = std::make_shared<FakeTimerControl>();
    TNetListener listener(nullptr);
    listener.TimerFactory = [timer] { return std::make_unique<FakeTimer>(timer); };
    listener.SetSessionTimeout(3);
    try {
        listener.SetSessionTimeout(-1);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Invliad SessionTimeout value.");
    }
    EXPECT_EQ(listener.SessionTimeout(), 3);
    EXPECT_TRUE(timer->onTimer);
    listener.SetSessionTimeout(0);
    EXPECT_FALSE(timer->onTimer);
    EXPECT_EQ(timer->started, 1);
}

TEST(NetListener, SilentConnectionsAreClosedWhenHandedOverWithoutTheirFirstBytes)
{
    TNetListener listener(nullptr);
    listener.BoundIP = "127.0.0.1";
    listener.DeferAcceptSeconds = 1;
    listener.CloseSilentConnections = true;
    std::atomic<int> sessions { 0 };
    listener.OnExecute = [&](TNetServerThread& thread) {
        ++sessions;
        EchoOneLine(thread);
    };
    const int port = ActivateOnFreePort(listener);
    ASSERT_NE(port, 0);

    LoopbackClient silent(port);
    ASSERT_TRUE(silent.Connected());
    LoopbackClient talking(port);
    talking.Send("now\r\n");
    EXPECT_EQ(talking.ReadAll(), "echo:now\r\n");
    // The silent one is closed once the deferral ends, without a session.
    EXPECT_EQ(silent.ReadAll(), "");
    EXPECT_EQ(sessions.load(), 1);
}

namespace {

// Sessions of the listener that are waiting for their clients, and of those the longest wait.
struct PeerWaits {
    int count = 0;
    std::chrono::steady_clock::duration longest {};
};

PeerWaits WaitsForPeers(TNetListener& listener)
{
    PeerWaits waits;
    auto locked = listener.Threads().LockList();
    for (TNetServerThread* thread : locked.Items()) {
        if (const auto since = thread->Connection()->WaitingForPeerSince()) {
            ++waits.count;
            waits.longest = std::max(waits.longest, std::chrono::steady_clock::now() - *since);
        }
    }
    return waits;
}

bool ClosedByServer(const LoopbackClient& client)
{
    char byte = 0;
    return recv(client.Handle(), &byte, 1, MSG_DONTWAIT) == 0;
}

} // namespace

TEST(NetListener, AtTheConnectionLimitANewClientClosesTheSessionThatWaitedLongestForItsClient)
{
    // Declared before the listener, whose sessions use them until it is gone.
    std::mutex mutex;
    std::condition_variable released;
    bool workMayEnd = false;
    std::atomic<bool> working { false };
    std::vector<std::string> ended;
    auto releaseWork = [&] {
        {
            std::lock_guard<std::mutex> lock(mutex);
            workMayEnd = true;
        }
        released.notify_all();
    };
    TNetListener listener(nullptr);
    listener.BoundIP = "127.0.0.1";
    listener.MaxConnections = 4;
    listener.OnExecute = [&](TNetServerThread& thread) {
        TNetServer& connection = *thread.Connection();
        std::string line;
        struct Ends {
            std::mutex& mutex;
            std::vector<std::string>& ended;
            std::string& line;
            ~Ends()
            {
                std::lock_guard<std::mutex> lock(mutex);
                ended.push_back(line);
            }
        } ends { mutex, ended, line };
        line = connection.ReadLn();
        if (line == "work") {
            // Busy in its handler, not waiting for its client: never a session to close.
            working = true;
            std::unique_lock<std::mutex> lock(mutex);
            released.wait(lock, [&] { return workMayEnd; });
        } else if (line == "hold") {
            // Answered, then waits for its client's next line: the session that waited least.
            connection.WriteLn("held");
            line = connection.ReadLn();
        } else if (line == "big") {
            connection.Write(std::string(64u << 20, 'b'));
        }
        connection.WriteLn("echo:" + line);
        connection.Disconnect();
    };
    // Whatever fails, the session at work ends before the listener waits for it.
    const std::shared_ptr<void> releaseAtEnd(nullptr, [&](void*) { releaseWork(); });
    const int port = ActivateOnFreePort(listener);
    ASSERT_NE(port, 0);

    // The oldest connection is at work; a client that stopped reading has waited longest, then
    // two that never sent anything.
    LoopbackClient worker(port);
    worker.Send("work\r\n");
    ASSERT_TRUE(Eventually([&] { return working.load(); }));
    LoopbackClient nonReader(port);
    nonReader.Send("big\r\n");
    ASSERT_TRUE(Eventually([&] { return WaitsForPeers(listener).longest > std::chrono::milliseconds(50); }));
    LoopbackClient silentFirst(port);
    ASSERT_TRUE(Eventually([&] { return WaitsForPeers(listener).count == 2; }));
    LoopbackClient silentSecond(port);
    ASSERT_TRUE(Eventually([&] { return WaitsForPeers(listener).count == 3; }));

    // A new client is answered at once, and stays: it has waited least when the next one comes.
    LoopbackClient fresh(port);
    fresh.Send("hold\r\n");
    char held[6] = {};
    ASSERT_EQ(recv(fresh.Handle(), held, sizeof held, MSG_WAITALL), 6);
    EXPECT_EQ(std::string(held, 6), "held\r\n");
    ASSERT_TRUE(Eventually([&] {
        std::lock_guard<std::mutex> lock(mutex);
        return std::find(ended.begin(), ended.end(), "big") != ended.end();
    }));
    ASSERT_TRUE(Eventually([&] { return WaitsForPeers(listener).count == 3; }));
    LoopbackClient another(port);
    another.Send("another\r\n");
    EXPECT_EQ(another.ReadAll(), "echo:another\r\n");
    EXPECT_TRUE(Eventually([&] { return ClosedByServer(silentFirst); }));
    EXPECT_FALSE(ClosedByServer(silentSecond));
    EXPECT_FALSE(ClosedByServer(fresh));
    fresh.Send("bye\r\n");
    EXPECT_EQ(fresh.ReadAll(), "echo:bye\r\n");

    releaseWork();
    EXPECT_EQ(worker.ReadAll(), "echo:work\r\n");
    silentSecond.Send("late\r\n");
    EXPECT_EQ(silentSecond.ReadAll(), "echo:late\r\n");
}
