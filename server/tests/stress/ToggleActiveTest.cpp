// The viewer switches its listener off and on with every change of window focus; here that happens
// a thousand times while clients keep requesting.

#include "server/tests/stress/BookSite.h"
#include "server/tests/stress/StressSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

TEST(ServerStress, SwitchingActiveOffAndOnUnderLoadNeverCorruptsAnAnswer)
{
    constexpr int kToggles = 1000;
    constexpr int kClients = 16;
    // A hang in switching would otherwise wait forever. Started before the census, which counts its
    // thread both times.
    const Watchdog watchdog("switching Active under load", kTestBudget);
    const ProcessCensus before = TakeBaselineCensus();
    std::atomic<int> answered { 0 };
    std::atomic<int> refused { 0 };
    std::atomic<int> reset { 0 };
    std::atomic<int> closedSilently { 0 };
    FailureLog corrupted;
    FailureLog switchFailures;
    FailureLog afterwards;
    ProcessCensus after;
    {
        BookSite site;
        const int port = site.Start();
        ASSERT_NE(port, 0);
        const auto& exchanges = site.Exchanges();
        std::atomic<bool> switching { true };
        std::vector<std::thread> clients;
        for (int c = 0; c < kClients; ++c) {
            clients.emplace_back([&, c] {
                for (size_t i = static_cast<size_t>(c); switching; ++i) {
                    const PageExchange& exchange = exchanges[i % exchanges.size()];
                    const ExchangeResult result = Fetch(port, exchange.request);
                    if (result.end == ExchangeEnd::Refused) {
                        // Nobody listens at the moment; expected while switched off.
                        ++refused;
                        std::this_thread::sleep_for(std::chrono::microseconds(200));
                    } else if (result.end == ExchangeEnd::Closed && result.bytes == exchange.answer) {
                        ++answered;
                    } else if (result.bytes.empty() && result.end == ExchangeEnd::Reset) {
                        // Waiting in the backlog of a listening socket that was closed.
                        ++reset;
                    } else if (result.bytes.empty() && result.end == ExchangeEnd::Closed) {
                        ++closedSilently;
                    } else {
                        corrupted.Add(DescribeMismatch(result, exchange.answer));
                    }
                }
            });
        }

        for (int toggle = 0; toggle < kToggles; ++toggle) {
            site.Listener().SetActive(false);
            std::this_thread::sleep_for(std::chrono::microseconds(toggle % 3 * 300));
            try {
                site.Listener().SetActive(true);
            } catch (const std::exception& e) {
                switchFailures.Add("switching on, round " + std::to_string(toggle) + ": " + e.what());
                break;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(500 + toggle % 4 * 500));
        }
        switching = false;
        for (auto& client : clients)
            client.join();

        // Switched on at the end: the listener works as if it had never been switched.
        if (site.Listener().Active()) {
            for (const PageExchange& exchange : exchanges) {
                const ExchangeResult result = Fetch(port, exchange.request);
                if (result.end != ExchangeEnd::Closed || result.bytes != exchange.answer)
                    afterwards.Add(DescribeMismatch(result, exchange.answer));
            }
        }
        site.Listener().SetActive(false);
        after = WaitForCensus(before);
    }
    Report(std::to_string(kToggles) + " toggles, " + std::to_string(kClients) + " clients, "
        + std::to_string(answered + refused + reset + closedSilently + corrupted.Count())
        + " requests: " + std::to_string(answered) + " answered, " + std::to_string(refused) + " refused while off, "
        + std::to_string(reset) + " reset in the backlog of a closed listening socket, "
        + std::to_string(closedSilently) + " closed without an answer, " + std::to_string(corrupted.Count())
        + " corrupted; before " + Describe(before) + ", after " + Describe(after));
    EXPECT_EQ(switchFailures.Count(), 0) << switchFailures.Samples();
    EXPECT_EQ(corrupted.Count(), 0) << corrupted.Samples();
    EXPECT_GT(answered.load(), 0);
    EXPECT_EQ(afterwards.Count(), 0) << afterwards.Samples();
    EXPECT_EQ(after, before) << "before " << Describe(before) << ", after " << Describe(after);
}
