#include "AnsiText.h"
#include "CommandLine.h"
#include "NetExceptions.h"
#include "OpenedBook.h"
#include "PackCommand.h"
#include "PageService.h"
#include "HTTPListener.h"

#include <arpa/inet.h>
#include <csignal>
#include <pthread.h>
#include <sys/socket.h>

namespace {

constexpr std::string_view kUsage = R"(Usage: ebook-pack serve BOOK [--port N] [--bind ADDR] [--cache-mb N]

Serves the pages of BOOK over HTTP/1.0 exactly as the viewer does, prints the address of the
home page and runs until interrupted (Ctrl+C) or terminated; then it stops cleanly.

Options:
  --port N      port to listen on (default: drawn from 11111 to 12110, as the viewer does)
  --bind ADDR   IPv4 address to listen on (default 127.0.0.1, this machine only)
  --cache-mb N  keep up to N MiB of inflated pages in memory (default 64); 0 inflates every
                page for every request, as the viewer does. The answers are the same either way.
)";

// Blocks SIGINT and SIGTERM on the calling thread while alive, so that the server threads started
// meanwhile inherit the mask and the signals are taken only by sigwait here.
class BlockedStopSignals {
public:
    BlockedStopSignals()
    {
        sigemptyset(&signals_);
        sigaddset(&signals_, SIGINT);
        sigaddset(&signals_, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &signals_, &previous_);
    }
    ~BlockedStopSignals() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    BlockedStopSignals(const BlockedStopSignals&) = delete;
    BlockedStopSignals& operator=(const BlockedStopSignals&) = delete;

    int Wait() const
    {
        int signal = 0;
        while (sigwait(&signals_, &signal) != 0) {
        }
        return signal;
    }

private:
    sigset_t signals_ {};
    sigset_t previous_ {};
};

// A served book is read by many clients for a long time, so pages asked for again are kept.
constexpr int32_t kDefaultCacheMiB = 64;

// The option's whole-number value within min .. max, or fallback when the option is absent.
int32_t NumberOption(const CommandLine& line, std::string_view name, int32_t min, int32_t max, int32_t fallback)
{
    const auto text = line.Value(name);
    if (!text)
        return fallback;
    int32_t value = 0;
    if (!TryStrToInt(*text, value) || value < min || value > max)
        throw EUsageError(std::string(name) + " takes a number from " + std::to_string(min) + " to "
            + std::to_string(max) + ", not '" + *text + "'");
    return value;
}

int RunServe(const std::vector<std::string>& args, ToolContext& context)
{
    const CommandLine line(args, {{"--port", "-p", true}, {"--bind", "", true}, {"--cache-mb", "", true}});
    line.ExpectOperands(1, 1, "BOOK");
    const auto book = OpenBook(line.Operands()[0]);

    std::string address(kPageServerAddress);
    if (const auto bind = line.Value("--bind")) {
        in_addr parsed {};
        if (::inet_pton(AF_INET, bind->c_str(), &parsed) != 1)
            throw EUsageError("--bind takes a dotted IPv4 address, not '" + *bind + "'");
        address = *bind;
    }

    const BlockedStopSignals stopSignals;
    // Destroyed before the service: the listener's destructor ends every session thread, and only
    // then may the handler they call go away.
    TPageService service(book->reader);
    const int32_t cacheMiB = NumberOption(line, "--cache-mb", 0, 65536, kDefaultCacheMiB);
    if (cacheMiB > 0)
        service.CachePages(static_cast<std::size_t>(cacheMiB) << 20);
    TNetHTTPListener listener(nullptr);
    service.Attach(listener);
    listener.BoundIP = address;
    // Unlike the viewer's browser, clients of a served book may come in bursts of many at once.
    listener.ListenBacklog = SOMAXCONN;
    listener.Port = NumberOption(line, "--port", 1, 65535, listener.Port);

    try {
        listener.SetActive(true);
    } catch (const ENetException& error) {
        context.err << address << ":" << listener.Port << ": " << error.Message() << "\n";
        return kExitError;
    }

    std::string home;
    try {
        home = book->reader.GetHomePageName();
    } catch (const Exception&) {
        context.err << "Warning: " << book->fileName << " has no home page\n";
    }
    // Blanks go out as %20, which the page service turns back into blanks, so the address can be
    // pasted into a browser or given to curl as it is printed.
    context.out << PageURL(address, listener.Port, home.empty() ? "/" : ReplaceAll(home, " ", "%20")) << std::endl;
    context.err << "Serving " << book->fileName << "; press Ctrl+C to stop." << std::endl;

    const int signal = stopSignals.Wait();
    listener.SetActive(false);
    context.err << "Stopped (" << (signal == SIGINT ? "interrupt" : "terminate") << ")." << std::endl;
    return kExitOk;
}

} // namespace

const PackCommand kServeCommand{"serve", "serve a book's pages over HTTP as the viewer does", kUsage, RunServe};
