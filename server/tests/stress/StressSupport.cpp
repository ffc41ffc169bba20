#include "server/tests/stress/StressSupport.h"

#include "server/listener/PlatformThread.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>

namespace {

int CountEntries(const char* folder)
{
    // The iterator's own descriptor is open during both counts, so it cancels out.
    std::error_code error;
    int count = 0;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        ++count;
    return count;
}

void SetTimeouts(int fd)
{
    timeval patience {};
    patience.tv_sec = kClientPatience.count();
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
}

// A non-blocking connect waited for with poll, so that a dropped SYN costs at most the patience.
int ConnectWithin(int fd, int port)
{
    const int flags = fcntl(fd, F_GETFL);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int error = 0;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error = errno;
        if (error == EINPROGRESS) {
            pollfd waiting { fd, POLLOUT, 0 };
            const int ready = poll(&waiting, 1, static_cast<int>(kClientPatience.count() * 1000));
            if (ready <= 0) {
                error = ready == 0 ? ETIMEDOUT : errno;
            } else {
                socklen_t length = sizeof error;
                getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
            }
        }
    }
    fcntl(fd, F_SETFL, flags);
    return error;
}

} // namespace

ProcessCensus TakeCensus()
{
    return { CountEntries("/proc/self/task"), CountEntries("/proc/self/fd") };
}

ProcessCensus TakeBaselineCensus()
{
    std::thread([] {}).join();
    // System threads parked by earlier tests end once idle for a while; count without them.
    const auto deadline = std::chrono::steady_clock::now() + kClientPatience;
    while (TThread::PooledSystemThreads() > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    // The last of them may still be leaving the system after saying so.
    ProcessCensus census = TakeCensus();
    for (int stable = 0; stable < 5 && std::chrono::steady_clock::now() < deadline;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const ProcessCensus next = TakeCensus();
        stable = next == census ? stable + 1 : 0;
        census = next;
    }
    return census;
}

ProcessCensus WaitForCensus(const ProcessCensus& expected)
{
    const auto deadline = std::chrono::steady_clock::now() + kClientPatience;
    ProcessCensus census = TakeCensus();
    while (!(census == expected) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        census = TakeCensus();
    }
    return census;
}

std::string Describe(const ProcessCensus& census)
{
    return std::to_string(census.threads) + " threads, " + std::to_string(census.descriptors) + " descriptors";
}

bool EnsureDescriptorLimit(int needed)
{
    rlimit files {};
    if (getrlimit(RLIMIT_NOFILE, &files) != 0)
        return false;
    const auto want = static_cast<rlim_t>(needed);
    if (files.rlim_cur != RLIM_INFINITY && files.rlim_cur < want) {
        if (files.rlim_max != RLIM_INFINITY && files.rlim_max < want)
            return false;
        files.rlim_cur = files.rlim_max;
        return setrlimit(RLIMIT_NOFILE, &files) == 0;
    }
    return true;
}

const char* Describe(ExchangeEnd end)
{
    switch (end) {
    case ExchangeEnd::Refused:
        return "no connection";
    case ExchangeEnd::Closed:
        return "closed";
    case ExchangeEnd::Reset:
        return "reset";
    case ExchangeEnd::TimedOut:
        return "timed out";
    case ExchangeEnd::Failed:
        return "failed";
    }
    return "?";
}

StressClient::StressClient(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        connectError_ = errno;
        return;
    }
    connectError_ = ConnectWithin(fd, port);
    if (connectError_ != 0) {
        close(fd);
        return;
    }
    SetTimeouts(fd);
    fd_ = fd;
}

StressClient::~StressClient()
{
    Close();
}

bool StressClient::Send(const std::string& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

ExchangeResult StressClient::ReadToEnd()
{
    ExchangeResult result;
    char buffer[16384];
    while (true) {
        const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
        if (n > 0) {
            result.bytes.append(buffer, static_cast<size_t>(n));
            continue;
        }
        if (n == 0) {
            result.end = ExchangeEnd::Closed;
            return result;
        }
        if (errno == EINTR)
            continue;
        result.error = errno;
        if (errno == ECONNRESET)
            result.end = ExchangeEnd::Reset;
        else if (errno == EAGAIN || errno == EWOULDBLOCK)
            result.end = ExchangeEnd::TimedOut;
        else
            result.end = ExchangeEnd::Failed;
        return result;
    }
}

void StressClient::ShutdownSending()
{
    shutdown(fd_, SHUT_WR);
}

void StressClient::Abort()
{
    if (fd_ < 0)
        return;
    const linger abortive { 1, 0 };
    setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    Close();
}

void StressClient::Close()
{
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
}

ExchangeResult Fetch(int port, const std::string& request)
{
    StressClient client(port);
    if (!client.Connected())
        return { ExchangeEnd::Refused, client.ConnectError(), {} };
    // A request the server cut short still gets whatever answer it sent.
    const int sendError = client.Send(request) ? 0 : errno;
    ExchangeResult result = client.ReadToEnd();
    // A reset that arrives during sending is reported by send; the receive after it only sees the
    // end of the connection.
    if (sendError != 0 && result.end == ExchangeEnd::Closed && result.bytes.empty()) {
        result.end = sendError == ECONNRESET || sendError == EPIPE ? ExchangeEnd::Reset : ExchangeEnd::Failed;
        result.error = sendError;
    }
    return result;
}

std::string DescribeMismatch(const ExchangeResult& result, const std::string& expected)
{
    std::string text = std::string(Describe(result.end));
    if (result.error != 0)
        text += " (" + std::string(std::strerror(result.error)) + ")";
    text += " after " + std::to_string(result.bytes.size()) + " of " + std::to_string(expected.size()) + " bytes";
    const size_t common = std::min(result.bytes.size(), expected.size());
    size_t at = 0;
    while (at < common && result.bytes[at] == expected[at])
        ++at;
    if (at < common || result.bytes.size() > expected.size())
        text += ", first difference at byte " + std::to_string(at);
    return text;
}

void FailureLog::Add(std::string what)
{
    std::lock_guard<std::mutex> lock(mutex_);
    ++count_;
    if (samples_.size() < kKept)
        samples_.push_back(std::move(what));
}

int FailureLog::Count() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return count_;
}

std::string FailureLog::Samples() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::string text;
    for (const auto& sample : samples_)
        text += "\n  " + sample;
    return text;
}

void Report(const std::string& line)
{
    std::printf("stress: %s\n", line.c_str());
    std::fflush(stdout);
}

Watchdog::Watchdog(std::string what, std::chrono::seconds budget)
    : thread_([this, what = std::move(what), budget] {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!done_.wait_for(lock, budget, [this] { return finished_; })) {
            std::fprintf(stderr, "stress: %s still running after %lld s, stopping the process\n", what.c_str(),
                static_cast<long long>(budget.count()));
            std::abort();
        }
    })
{
}

Watchdog::~Watchdog()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        finished_ = true;
    }
    done_.notify_all();
    thread_.join();
}
