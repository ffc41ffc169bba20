// Requests that carry bytes the server never reads: a body beyond its Content-Length, or a second
// request sent before the first was answered. Closing a socket with unread input makes the kernel
// reset the connection, which may destroy an answer the client has not read yet.

#include "server/tests/stress/BookSite.h"
#include "server/tests/stress/StressSupport.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

// Sends the request, waits so that the server is done and closes while most of the big answer is
// still on its way, then reads.
ExchangeResult SlowReader(int port, const std::string& request)
{
    StressClient client(port);
    if (!client.Connected())
        return { ExchangeEnd::Refused, client.ConnectError(), {} };
    client.Send(request);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return client.ReadToEnd();
}

} // namespace

TEST(ServerStress, AnswerArrivesWholeThoughTheRequestHadUnreadBytes)
{
    constexpr int kRounds = 20;
    const Watchdog watchdog("requests with unread bytes", kTestBudget);
    const ProcessCensus before = TakeBaselineCensus();
    FailureLog failures;
    ProcessCensus after;
    {
        BookSite site;
        const int port = site.Start();
        ASSERT_NE(port, 0);
        const std::string& big = site.BigPage().answer;
        const std::string overlongBody
            = "POST /big.htm HTTP/1.0\r\nContent-Length: 3\r\n\r\na=b" + std::string(8192, 'x');
        // Larger than the server's first receive, so part of it stays in the kernel unread.
        const std::string pipelined
            = site.BigPage().request + "GET /index.htm HTTP/1.0\r\nX-Pad: " + std::string(16384, 'p') + "\r\n\r\n";
        for (int i = 0; i < kRounds; ++i) {
            const std::string& request = i % 2 == 0 ? overlongBody : pipelined;
            const ExchangeResult result = SlowReader(port, request);
            if (result.end != ExchangeEnd::Closed || result.bytes != big)
                failures.Add((i % 2 == 0 ? "body beyond Content-Length: " : "second request unread: ")
                    + DescribeMismatch(result, big));
        }
        site.Listener().SetActive(false);
        after = WaitForCensus(before);
    }
    Report(std::to_string(kRounds) + " requests with unread bytes, " + std::to_string(failures.Count())
        + " answers cut; before " + Describe(before) + ", after " + Describe(after));
    EXPECT_EQ(failures.Count(), 0) << failures.Samples();
    EXPECT_EQ(after, before) << "before " << Describe(before) << ", after " << Describe(after);
}
