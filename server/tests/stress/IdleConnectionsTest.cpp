// Connections that are opened and then left idle, while other clients are served.

#include "server/tests/stress/BookSite.h"
#include "server/tests/stress/StressSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <memory>
#include <sys/socket.h>
#include <thread>
#include <vector>

namespace {

// True while nothing has arrived and the server has not closed: the connection is still held open.
bool StillOpenAndSilent(const StressClient& client, int fd)
{
    char byte;
    const ssize_t n = recv(fd, &byte, 1, MSG_DONTWAIT);
    return client.Connected() && n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
}

bool WaitForSessions(TNetHTTPListener& listener, int count)
{
    const Deadline deadline(kClientPatience);
    while (listener.Threads().Count() != count) {
        if (deadline.Passed())
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

} // namespace

TEST(ServerStress, IdleConnectionsAreHeldWhileOthersAreServedAndEndWhenClosed)
{
    constexpr int kIdle = 500;
    constexpr int kClients = 8;
    constexpr int kRequestsPerClient = 50;
    // Each idle connection costs a descriptor on both ends, in this one process.
    if (!EnsureDescriptorLimit(2 * kIdle + 200))
        GTEST_SKIP() << "the hard limit of open descriptors is below " << 2 * kIdle + 200;
    const Watchdog watchdog("idle connections", kTestBudget);
    const ProcessCensus before = TakeBaselineCensus();
    FailureLog failures;
    int heldSessions = 0;
    int sessionsLeft = -1;
    ProcessCensus after;
    {
        BookSite site;
        const int port = site.Start();
        ASSERT_NE(port, 0);

        // Half of them send nothing, half the start of a request whose header block never ends. Each
        // waits for its session: one client connecting faster than the accept loop takes them would
        // overflow the listen backlog, and every dropped SYN costs a second.
        std::vector<std::unique_ptr<StressClient>> idle;
        for (int i = 0; i < kIdle; ++i) {
            idle.push_back(std::make_unique<StressClient>(port));
            if (!idle.back()->Connected())
                failures.Add("idle connection " + std::to_string(i) + " not made");
            else if (i % 2 == 1)
                idle.back()->Send("GET /index.htm HTTP/1.0\r\nHost: 127.0.0.1\r\n");
            if (!WaitForSessions(site.Listener(), i + 1))
                break;
        }
        heldSessions = site.Listener().Threads().Count();

        std::vector<std::thread> clients;
        const auto& exchanges = site.Exchanges();
        for (int c = 0; c < kClients; ++c) {
            clients.emplace_back([&, c] {
                for (int i = 0; i < kRequestsPerClient; ++i) {
                    const PageExchange& exchange = exchanges[static_cast<size_t>(c + i) % exchanges.size()];
                    const ExchangeResult result = Fetch(port, exchange.request);
                    if (result.end != ExchangeEnd::Closed || result.bytes != exchange.answer)
                        failures.Add("request beside the idle ones: " + DescribeMismatch(result, exchange.answer));
                }
            });
        }
        for (auto& client : clients)
            client.join();

        int silent = 0;
        for (const auto& client : idle)
            silent += StillOpenAndSilent(*client, client->Handle()) ? 1 : 0;
        EXPECT_EQ(silent, kIdle) << "idle connections must neither be answered nor dropped";

        idle.clear();
        EXPECT_TRUE(WaitForSessions(site.Listener(), 0));
        sessionsLeft = site.Listener().Threads().Count();
        site.Listener().SetActive(false);
        after = WaitForCensus(before);
    }
    Report(std::to_string(kIdle) + " idle connections, " + std::to_string(heldSessions) + " sessions held, "
        + std::to_string(kClients * kRequestsPerClient) + " requests from " + std::to_string(kClients)
        + " clients meanwhile, " + std::to_string(failures.Count()) + " failed, " + std::to_string(sessionsLeft)
        + " sessions left after closing; before " + Describe(before) + ", after " + Describe(after));
    EXPECT_EQ(failures.Count(), 0) << failures.Samples();
    EXPECT_EQ(heldSessions, kIdle);
    EXPECT_EQ(sessionsLeft, 0);
    EXPECT_EQ(after, before) << "before " << Describe(before) << ", after " << Describe(after);
}
