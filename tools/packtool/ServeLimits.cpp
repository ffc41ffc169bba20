#include "tools/packtool/ServeLimits.h"

#include "common/AnsiText.h"
#include "pageservice/PageServer.h"
#include "server/socket/NetExceptions.h"

#include <algorithm>
#include <string>
#include <sys/resource.h>

namespace {

constexpr int32_t kDefaultCacheMiB = 64;
constexpr int32_t kDefaultMemoryMiB = 256;
constexpr int32_t kDefaultMaxConnections = 4096;
constexpr int32_t kDefaultIdleMinutes = 1;
constexpr int32_t kDefaultMaxRequestLine = 8192;
constexpr int32_t kDefaultMaxHeaderBytes = 64 * 1024;
constexpr int32_t kDefaultMaxBody = 1 << 20;
constexpr int32_t kMaxMiB = 65536;
// As nginx keeps its connections: long enough for a reader's next click to find the connection
// open, and a thousand requests before a client opens another.
constexpr int32_t kDefaultKeepAliveSeconds = 15;
constexpr int32_t kDefaultMaxRequests = 1000;

} // namespace

std::vector<OptionSpec> ServeOptionTable()
{
    return { { "--port", "-p", true }, { "--bind", "", true }, { "--allow-host", "", true }, { "--cache-mb", "", true },
        { "--memory-mb", "", true }, { "--max-connections", "", true }, { "--idle-timeout", "", true },
        { "--max-request-line", "", true }, { "--max-headers", "", true }, { "--max-body", "", true },
        { "--library", "", true }, { "--url-root", "", true }, { "--log", "", false }, { "--keep-alive", "", true },
        { "--max-requests", "", true } };
}

TWebServing ReadWebServing(const CommandLine& line)
{
    TWebServing serving;
    serving.keepAliveIdle = std::chrono::seconds(NumberOption(line, "--keep-alive", 0, 3600, kDefaultKeepAliveSeconds));
    serving.maxRequestsPerConnection = NumberOption(line, "--max-requests", 0, INT32_MAX, kDefaultMaxRequests);
    return serving;
}

TPageServerLimits ReadServeLimits(const CommandLine& line)
{
    TPageServerLimits limits;
    // Any HTTP client may come, also one that connects before it knows what to ask: its idle
    // timeout decides.
    limits.closeSilent = false;
    limits.cacheBytes = static_cast<std::size_t>(NumberOption(line, "--cache-mb", 0, kMaxMiB, kDefaultCacheMiB)) << 20;
    limits.memoryBytes = static_cast<std::size_t>(NumberOption(line, "--memory-mb", 1, kMaxMiB, kDefaultMemoryMiB))
        << 20;
    limits.maxConnections = NumberOption(line, "--max-connections", 1, 1 << 20, kDefaultMaxConnections);
    limits.idleMinutes = NumberOption(line, "--idle-timeout", 0, 24 * 60, kDefaultIdleMinutes);
    limits.maxRequestLine = NumberOption(line, "--max-request-line", 16, INT32_MAX, kDefaultMaxRequestLine);
    limits.maxHeaderBytes = NumberOption(line, "--max-headers", 16, INT32_MAX, kDefaultMaxHeaderBytes);
    limits.maxBody = NumberOption(line, "--max-body", 1, INT32_MAX, kDefaultMaxBody);
    return limits;
}

std::vector<std::string> AllowedHosts(const CommandLine& line)
{
    std::vector<std::string> names;
    for (const std::string& text : line.Values("--allow-host")) {
        std::size_t start = 0;
        while (start <= text.size()) {
            const std::size_t comma = std::min(text.find(',', start), text.size());
            std::string name = Trim(std::string_view(text).substr(start, comma - start));
            const std::size_t colon = name.find(':');
            const bool portOk = colon == std::string::npos
                || (colon + 1 < name.size() && colon + 6 >= name.size()
                    && name.find_first_not_of("0123456789", colon + 1) == std::string::npos);
            if (name.empty() || colon == 0 || !portOk || name.find_first_of("/ ") != std::string::npos)
                throw EUsageError(
                    "--allow-host takes host names, each with or without a port, separated by commas, not '" + text
                    + "'");
            names.push_back(std::move(name));
            start = comma + 1;
        }
    }
    return names;
}

void RaiseDescriptorLimit()
{
    // Each connection takes a descriptor; the soft limit (often 1024) would otherwise end accepting
    // well below the connection limit. What the hard limit does not allow is left to the accept
    // loop, which waits for descriptors to come free.
    rlimit files {};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }
}

bool SwitchOnServing(
    TPageServer& server, const CommandLine& line, const std::string& address, int32_t port, std::ostream& err)
{
    server.SetAddress(address);
    for (const std::string& name : AllowedHosts(line))
        server.AllowHost(name);
    try {
        if (port > 0) {
            server.SetPort(port);
            server.SwitchOnAtPort();
        } else {
            server.SwitchOn();
        }
    } catch (const ENetException& error) {
        err << address << ":" << server.Port() << ": " << error.Message() << "\n";
        return false;
    }
    return true;
}
