// Accepts that fail for a passing reason (no descriptors left, no session thread to be had): the
// listener keeps accepting and serves again as soon as the shortage is over.

#include "server/tests/SocketTestSupport.h"
#include "server/tests/stress/BookSite.h"
#include "server/tests/stress/StressSupport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Lowers the soft limit of open descriptors for as long as it lives.
class LoweredDescriptorLimit {
public:
    explicit LoweredDescriptorLimit(rlim_t limit)
    {
        getrlimit(RLIMIT_NOFILE, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = limit;
        ok_ = setrlimit(RLIMIT_NOFILE, &lowered) == 0;
    }
    ~LoweredDescriptorLimit() { setrlimit(RLIMIT_NOFILE, &saved_); }
    LoweredDescriptorLimit(const LoweredDescriptorLimit&) = delete;
    LoweredDescriptorLimit& operator=(const LoweredDescriptorLimit&) = delete;
    bool Ok() const { return ok_; }

private:
    rlimit saved_ {};
    bool ok_ = false;
};

// Connects an already made socket to the loopback port; the kernel completes the connection in
// the listen queue whether or not the server can take it.
bool ConnectTo(int fd, int port)
{
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool ReadableWithin(int fd, int milliseconds)
{
    pollfd entry { fd, POLLIN, 0 };
    return poll(&entry, 1, milliseconds) == 1;
}

} // namespace

TEST(ServerStress, AcceptingResumesWithinASecondOnceDescriptorsAreFreeAgain)
{
#if defined(__SANITIZE_ADDRESS__)
    // The undefined-behaviour checks probe memory through a pipe: with no descriptor left they
    // report every virtual call as made on a broken object. The plain and thread-checked builds
    // run this test.
    GTEST_SKIP() << "needs descriptors the sanitizer itself takes";
#endif
    const Watchdog watchdog("descriptor exhaustion", kTestBudget);
    BookSite site;
    const int port = site.Start();
    ASSERT_NE(port, 0);
    const PageExchange& small = site.SmallPage();
    std::vector<int> fillers;
    int probe = -1;
    int first = -1;
    double recoverySeconds = -1;
    std::string answer;
    bool answeredWhileExhausted = true;
    {
        const LoweredDescriptorLimit limit(static_cast<rlim_t>(TakeCensus().descriptors + 32));
        ASSERT_TRUE(limit.Ok());
        // The client sockets are made while descriptors are left; then every other one is taken.
        probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ASSERT_GE(probe, 0);
        first = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ASSERT_GE(first, 0);
        for (int fd; (fd = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
            fillers.push_back(fd);
        ASSERT_EQ(errno, EMFILE);
        // An accept that was already waiting when the descriptors ran out holds the one it will
        // give out: the first connection takes that one, if there is one, and its session keeps
        // it while it waits for a request. Any later accept finds none.
        ASSERT_TRUE(ConnectTo(first, port));
        const auto settled = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        while (site.Listener().Threads().Count() == 0 && std::chrono::steady_clock::now() < settled)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_TRUE(ConnectTo(probe, port));
        SetPatience(probe);
        SendAll(probe, small.request);
        // The listener cannot take the connection: it must stay unanswered, not make the server quit.
        answeredWhileExhausted = ReadableWithin(probe, 500);
        const auto freed = std::chrono::steady_clock::now();
        for (const int fd : fillers)
            close(fd);
        answer = ReadUntilClosed(probe);
        recoverySeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - freed).count();
    }
    close(probe);
    close(first);
    Report("descriptors exhausted for 0.5 s: answered meanwhile " + std::string(answeredWhileExhausted ? "yes" : "no")
        + ", answered " + std::to_string(recoverySeconds) + " s after descriptors were freed");
    EXPECT_FALSE(answeredWhileExhausted);
    EXPECT_EQ(answer, small.answer);
    EXPECT_LT(recoverySeconds, 1.0);
    // The same listener, still switched on, serves new connections as before.
    EXPECT_TRUE(site.Listener().Active());
    const ExchangeResult after = Fetch(port, small.request);
    EXPECT_EQ(after.bytes, small.answer) << DescribeMismatch(after, small.answer);
}

TEST(ServerStress, ConnectionsWithoutASessionThreadAreClosedAndLaterOnesServed)
{
    const Watchdog watchdog("sessions that cannot start", kTestBudget);
    constexpr int kRefused = 20;
    BookSite site;
    std::atomic<int> created { 0 };
    // What the pool raises when the system has no thread to give.
    site.Listener().OnCreateThread = [&](std::unique_ptr<TNetServer>&, std::unique_ptr<TNetServerThread>&) {
        if (created++ < kRefused)
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    };
    const int port = site.Start();
    ASSERT_NE(port, 0);
    const PageExchange& small = site.SmallPage();
    int closedUnanswered = 0;
    for (int i = 0; i < kRefused; ++i) {
        const ExchangeResult result = Fetch(port, small.request);
        closedUnanswered += result.bytes.empty() && result.end != ExchangeEnd::TimedOut ? 1 : 0;
    }
    const ExchangeResult served = Fetch(port, small.request);
    Report(std::to_string(closedUnanswered) + " of " + std::to_string(kRefused)
        + " connections without a session thread closed unanswered; the next one "
        + (served.bytes == small.answer ? "answered" : "not answered"));
    EXPECT_EQ(closedUnanswered, kRefused);
    EXPECT_EQ(served.bytes, small.answer) << DescribeMismatch(served, small.answer);
}
