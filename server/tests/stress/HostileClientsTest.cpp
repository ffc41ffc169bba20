// Clients that break off, reset or send an absurdly long header line, among normal clients.

#include "server/tests/stress/BookSite.h"
#include "server/tests/stress/StressSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <sys/socket.h>
#include <thread>
#include <vector>

namespace {

constexpr size_t kLongLine = 1 << 20;

enum Kind { ResetMidRequest, ResetMidAnswer, HalfRequestThenClose, HalfRequestThenWait, LongHeaderLine, Normal };
constexpr int kKinds = 8; // the kinds above, with Normal for the last three

Kind KindOf(int n)
{
    return static_cast<Kind>(std::min(n % kKinds, static_cast<int>(Normal)));
}

// Counts per kind of client, and what the long header lines got.
struct Tally {
    std::atomic<int> byKind[Normal + 1] {};
    std::atomic<int> longLineAnswered { 0 };
    std::atomic<int> longLineClosed { 0 };
};

} // namespace

TEST(ServerStress, HostileClientsNeitherCrashTheServerNorDisturbNormalOnes)
{
    constexpr int kClients = 32;
    constexpr int kRounds = 40 / kThreadSanitizerDivisor;
    const Watchdog watchdog("hostile clients", kTestBudget);
    const ProcessCensus before = TakeBaselineCensus();
    FailureLog failures;
    Tally tally;
    std::mutex capacityMutex;
    int32_t largestBuffer = 0;
    ProcessCensus after;
    {
        BookSite site;
        // The input buffer each request needed: it may grow with what the client sent, not beyond.
        const TGetEvent serve = site.Listener().OnCommandGet;
        site.Listener().OnCommandGet
            = [&](TNetServerThread& thread, THTTPRequestInfo& request, THTTPResponseInfo& response) {
                  {
                      std::lock_guard<std::mutex> lock(capacityMutex);
                      largestBuffer = std::max(largestBuffer, thread.Connection()->BufferCapacity());
                  }
                  serve(thread, request, response);
              };
        const int port = site.Start();
        ASSERT_NE(port, 0);
        const auto& exchanges = site.Exchanges();
        const PageExchange& small = site.SmallPage();
        const std::string longLineRequest
            = "GET /index.htm HTTP/1.0\r\nX-Long: " + std::string(kLongLine, 'L') + "\r\n\r\n";
        const Deadline deadline(std::chrono::seconds(200));

        std::vector<std::thread> clients;
        for (int c = 0; c < kClients; ++c) {
            clients.emplace_back([&, c] {
                for (int round = 0; round < kRounds && !deadline.Passed(); ++round) {
                    const Kind kind = KindOf(c + round);
                    ++tally.byKind[kind];
                    StressClient client(port);
                    if (!client.Connected()) {
                        failures.Add("no connection for a client of kind " + std::to_string(kind));
                        continue;
                    }
                    switch (kind) {
                    case ResetMidRequest:
                        client.Send("GET /chapter.htm HTTP/1.0\r\nHost: 12");
                        client.Abort();
                        break;
                    case ResetMidAnswer: {
                        client.Send(site.BigPage().request);
                        char some[512];
                        if (recv(client.Handle(), some, sizeof some, MSG_WAITALL) <= 0)
                            failures.Add("no answer begun before the reset");
                        client.Abort();
                        break;
                    }
                    case HalfRequestThenClose:
                        client.Send("GET /index.htm HTT");
                        client.Close();
                        break;
                    case HalfRequestThenWait: {
                        // An unfinished request is not answered: the server just closes.
                        client.Send("GET /index.htm HTTP/1.0\r\nHost: 127.0.0.1\r\n");
                        client.ShutdownSending();
                        const ExchangeResult result = client.ReadToEnd();
                        if (result.end != ExchangeEnd::Closed || !result.bytes.empty())
                            failures.Add("half request: " + DescribeMismatch(result, ""));
                        break;
                    }
                    case LongHeaderLine: {
                        client.Send(longLineRequest);
                        const ExchangeResult result = client.ReadToEnd();
                        if (result.end == ExchangeEnd::Closed && result.bytes == small.answer)
                            ++tally.longLineAnswered;
                        else if (result.bytes.empty() && result.end != ExchangeEnd::TimedOut)
                            ++tally.longLineClosed;
                        else
                            failures.Add("long header line: " + DescribeMismatch(result, small.answer));
                        break;
                    }
                    case Normal: {
                        const PageExchange& exchange
                            = exchanges[static_cast<size_t>(c * kRounds + round) % exchanges.size()];
                        client.Send(exchange.request);
                        const ExchangeResult result = client.ReadToEnd();
                        if (result.end != ExchangeEnd::Closed || result.bytes != exchange.answer)
                            failures.Add("normal client: " + DescribeMismatch(result, exchange.answer));
                        break;
                    }
                    }
                }
            });
        }
        for (auto& client : clients)
            client.join();
        site.Listener().SetActive(false);
        after = WaitForCensus(before);
    }
    Report(std::to_string(kClients) + " clients, " + std::to_string(kClients * kRounds) + " connections: "
        + std::to_string(tally.byKind[Normal]) + " normal, " + std::to_string(tally.byKind[ResetMidRequest])
        + " reset mid-request, " + std::to_string(tally.byKind[ResetMidAnswer]) + " reset mid-answer, "
        + std::to_string(tally.byKind[HalfRequestThenClose] + tally.byKind[HalfRequestThenWait]) + " half requests, "
        + std::to_string(tally.byKind[LongHeaderLine]) + " 1 MiB header lines ("
        + std::to_string(tally.longLineAnswered) + " answered, " + std::to_string(tally.longLineClosed) + " closed); "
        + std::to_string(failures.Count()) + " failed; largest input buffer " + std::to_string(largestBuffer)
        + " bytes; before " + Describe(before) + ", after " + Describe(after));
    EXPECT_EQ(failures.Count(), 0) << failures.Samples();
    // By the time the handler runs, a buffer that grew for a long line has given its memory back.
    EXPECT_LE(largestBuffer, static_cast<int32_t>(kLongLine / 4));
    EXPECT_EQ(after, before) << "before " << Describe(before) << ", after " << Describe(after);
}
