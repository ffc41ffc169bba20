#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// ThreadSanitizer makes every thread start and socket call many times slower: the two tests that
// start the most threads (many clients, hostile clients) take about 20 s each there when run
// alone, and twice that beside other tests on a small machine. Under it they run half their
// counts, to stay well under a minute; every other build runs the full counts.
#ifdef EBOOK_STRESS_UNDER_THREAD_SANITIZER
inline constexpr int kThreadSanitizerDivisor = 2;
#else
inline constexpr int kThreadSanitizerDivisor = 1;
#endif

// How long a client waits for a connection, for the next bytes of an answer, and for sending. Generous:
// when the listen backlog overflows, the kernel drops SYNs and the client retries after a second or
// more; that is slowness, not a failed request.
inline constexpr std::chrono::seconds kClientPatience { 30 };

// The threads and open descriptors of this process.
struct ProcessCensus {
    int threads = 0;
    int descriptors = 0;
    bool operator==(const ProcessCensus&) const = default;
};

// Counts /proc/self/task and /proc/self/fd.
ProcessCensus TakeCensus();
// Starts and joins one thread first, so that a sanitizer runtime's lazily started helper thread is
// already counted; then the census.
ProcessCensus TakeBaselineCensus();
// Polls until the census equals `expected` (session threads that freed themselves end a little after
// leaving the listener's list) or the patience runs out; the last census taken.
ProcessCensus WaitForCensus(const ProcessCensus& expected);
std::string Describe(const ProcessCensus& census);

// Raises the soft limit of open descriptors to the hard limit when it is below `needed`; false when
// even the hard limit is below `needed`.
bool EnsureDescriptorLimit(int needed);

// How a client's exchange ended.
enum class ExchangeEnd {
    Refused, // no connection was made (refused, or no answer to the SYN within the patience)
    Closed, // the server closed the connection (end of file)
    Reset, // the connection was reset
    TimedOut, // nothing arrived within the patience
    Failed, // any other socket error
};

struct ExchangeResult {
    ExchangeEnd end = ExchangeEnd::Refused;
    int error = 0; // errno of the failing call, when there was one
    std::string bytes; // everything received before the end
};

const char* Describe(ExchangeEnd end);

// A client socket to 127.0.0.1:port whose waits are all bounded by kClientPatience. Connects in the
// constructor; the descriptor is closed by the destructor unless Abort or Close came first.
class StressClient {
public:
    explicit StressClient(int port);
    ~StressClient();
    StressClient(const StressClient&) = delete;
    StressClient& operator=(const StressClient&) = delete;

    bool Connected() const { return fd_ >= 0; }
    int Handle() const { return fd_; }
    int ConnectError() const { return connectError_; }
    // False when not all bytes could be sent; errno tells why.
    bool Send(const std::string& bytes);
    // The server reads end of file after what was sent.
    void ShutdownSending();
    // Reads until the server closes, resets or stays silent for the patience.
    ExchangeResult ReadToEnd();
    // Closes with SO_LINGER 0: the kernel sends RST instead of FIN.
    void Abort();
    void Close();

private:
    int fd_ = -1;
    int connectError_ = 0;
};

// Connect, send the request, read to the end.
ExchangeResult Fetch(int port, const std::string& request);

// "closed after 120 of 4000 bytes, first difference at byte 97" and the like.
std::string DescribeMismatch(const ExchangeResult& result, const std::string& expected);

// Failures seen by many client threads: all are counted, the first few kept to be shown.
class FailureLog {
public:
    void Add(std::string what);
    int Count() const;
    std::string Samples() const;

private:
    static constexpr size_t kKept = 5;
    mutable std::mutex mutex_;
    int count_ = 0;
    std::vector<std::string> samples_;
};

// A point in time after which client loops stop issuing requests, so that a server that hangs
// fails the test instead of running it for hours.
class Deadline {
public:
    explicit Deadline(std::chrono::seconds budget)
        : end_(std::chrono::steady_clock::now() + budget)
    {
    }
    bool Passed() const { return std::chrono::steady_clock::now() >= end_; }

private:
    std::chrono::steady_clock::time_point end_;
};

// Prints one line of counts, "stress: ...", to the test's output.
void Report(const std::string& line);

// What one stress test may take at most, below the test runner's own limit of 300 s.
inline constexpr std::chrono::seconds kTestBudget { 240 };

// Ends the process with a message when a test is still running after its budget, so that a
// deadlock in the server stops the test by itself, naming what hung.
class Watchdog {
public:
    Watchdog(std::string what, std::chrono::seconds budget);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread thread_; // last: it uses the members above
};
