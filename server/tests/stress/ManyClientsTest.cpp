// Many clients at once, each answer compared byte for byte.

#include "server/tests/stress/BookSite.h"
#include "server/tests/stress/StressSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

TEST(ServerStress, ManyConcurrentClientsGetEveryAnswerExactly)
{
    constexpr int kRequests = 10000 / kThreadSanitizerDivisor;
    constexpr int kClients = 64;
    const Watchdog watchdog("many concurrent clients", kTestBudget);
    const ProcessCensus before = TakeBaselineCensus();
    FailureLog failures;
    ProcessCensus after;
    {
        BookSite site;
        const int port = site.Start();
        ASSERT_NE(port, 0);
        const auto& exchanges = site.Exchanges();
        const Deadline deadline(std::chrono::seconds(200));
        std::atomic<int> next { 0 };
        std::vector<std::thread> clients;
        for (int c = 0; c < kClients; ++c) {
            clients.emplace_back([&] {
                for (int i = next++; i < kRequests; i = next++) {
                    const PageExchange& exchange = exchanges[static_cast<size_t>(i) % exchanges.size()];
                    if (deadline.Passed()) {
                        failures.Add("request " + std::to_string(i) + " not sent: out of time");
                        continue;
                    }
                    const ExchangeResult result = Fetch(port, exchange.request);
                    if (result.end != ExchangeEnd::Closed || result.bytes != exchange.answer)
                        failures.Add("request " + std::to_string(i) + ": " + DescribeMismatch(result, exchange.answer));
                }
            });
        }
        for (auto& client : clients)
            client.join();
        // Switched off, the listener holds neither a socket nor a thread: what is left is a leak.
        site.Listener().SetActive(false);
        after = WaitForCensus(before);
    }
    Report(std::to_string(kRequests) + " requests, " + std::to_string(kClients) + " clients, "
        + std::to_string(failures.Count()) + " failed; before " + Describe(before) + ", after " + Describe(after));
    EXPECT_EQ(failures.Count(), 0) << failures.Samples();
    EXPECT_EQ(after, before) << "before " << Describe(before) << ", after " << Describe(after);
}

// Clients that end their sending side after the request, as some HTTP/1.0 tools do, all at once.
// Connections the accept loop has not taken yet wait in the listen backlog; when it overflows, the
// kernel drops the handshake's last step, and under a burst it gives up on such half-open
// connections, which the client then sees reset although it had sent its whole request.
TEST(ServerStress, BurstOfClientsThatEndTheirRequestsWithEndOfFileAreAllAnswered)
{
    constexpr int kClients = 64;
    constexpr int kRounds = 40;
    const Watchdog watchdog("a burst of clients", kTestBudget);
    const ProcessCensus before = TakeBaselineCensus();
    FailureLog failures;
    ProcessCensus after;
    {
        BookSite site;
        const int port = site.Start();
        ASSERT_NE(port, 0);
        const PageExchange& exchange = site.SmallPage();
        const Deadline deadline(std::chrono::seconds(200));
        std::vector<std::thread> clients;
        for (int c = 0; c < kClients; ++c) {
            clients.emplace_back([&] {
                for (int round = 0; round < kRounds && !deadline.Passed(); ++round) {
                    StressClient client(port);
                    if (!client.Connected()) {
                        failures.Add("no connection");
                        continue;
                    }
                    client.Send(exchange.request);
                    client.ShutdownSending();
                    const ExchangeResult result = client.ReadToEnd();
                    if (result.end != ExchangeEnd::Closed || result.bytes != exchange.answer)
                        failures.Add(DescribeMismatch(result, exchange.answer));
                }
            });
        }
        for (auto& client : clients)
            client.join();
        site.Listener().SetActive(false);
        after = WaitForCensus(before);
    }
    Report(std::to_string(kClients * kRounds) + " requests ended by end of file, " + std::to_string(kClients)
        + " clients at once, " + std::to_string(failures.Count()) + " failed; before " + Describe(before) + ", after "
        + Describe(after));
    EXPECT_EQ(failures.Count(), 0) << failures.Samples();
    EXPECT_EQ(after, before) << "before " << Describe(before) << ", after " << Describe(after);
}
