#include "AnsiText.h"
#include "CommandLine.h"
#include "HTTPListener.h"
#include "NetExceptions.h"
#include "OpenedBook.h"
#include "PackCommand.h"
#include "PageService.h"
#include "ServeLimits.h"
#include "ServedPages.h"

#include <arpa/inet.h>
#include <csignal>
#include <pthread.h>
#include <sys/socket.h>

namespace {

constexpr std::string_view kUsage = R"(Usage: ebook-pack serve BOOK [--port N] [--bind ADDR] [options]

Serves the pages of BOOK over HTTP/1.0 with the answers the viewer gives, prints the address of
the home page and runs until interrupted (Ctrl+C) or terminated; then it stops cleanly.

Options:
  --port N              port to listen on (default: drawn from 11111 to 12110, as the viewer does)
  --bind ADDR           IPv4 address to listen on (default 127.0.0.1, this machine only)
  --cache-mb N          keep up to N MiB of inflated pages for later requests (default 64); 0 keeps
                        none. The answers are the same either way.
  --memory-mb N         inflated pages in memory at once, cache included, at most N MiB (default
                        256); beyond it new extractions wait for answers in flight to end. A page
                        larger than that is still served, alone.
  --max-connections N   live connections at most (default 4096); more wait in the listen queue
  --idle-timeout MIN    close a connection that has sent nothing for MIN minutes, and one whose
                        request is not in after MIN minutes (default 1; 0: never)
  --max-request-line N  longest request line, in bytes (default 8192)
  --max-headers N       largest header block, in bytes (default 65536)
  --max-body N          largest request body, in bytes (default 1048576)
A client beyond a limit is disconnected unanswered, and nothing more is read from it.
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
        while (sigwait(&signals_, &signal) != 0) { }
        return signal;
    }

private:
    sigset_t signals_ {};
    sigset_t previous_ {};
};

int RunServe(const std::vector<std::string>& args, ToolContext& context)
{
    const CommandLine line(args, ServeOptionTable());
    line.ExpectOperands(1, 1, "BOOK");
    const auto book = OpenBook(line.Operands()[0]);

    std::string address(kPageServerAddress);
    if (const auto bind = line.Value("--bind")) {
        in_addr parsed {};
        if (::inet_pton(AF_INET, bind->c_str(), &parsed) != 1)
            throw EUsageError("--bind takes a dotted IPv4 address, not '" + *bind + "'");
        address = *bind;
    }
    const ServeLimits limits = ReadServeLimits(line);
    RaiseDescriptorLimit();

    const BlockedStopSignals stopSignals;
    // Shutdown order: the listener is destroyed first (it is declared last), which ends every
    // session thread; only then may the pages they answer from go.
    TServedPages pages(book->reader, limits.memoryBytes, limits.cacheBytes);
    TNetHTTPListener listener(nullptr);
    listener.Port = RandomPagePort();
    listener.BoundIP = address;
    pages.Attach(listener);
    ApplyServeLimits(limits, listener);
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
    // No new connections; requests waiting for memory give up; then the listener's destruction
    // closes every connection, which ends whatever its session is blocked in.
    listener.SetActive(false);
    pages.Stop();
    context.err << "Stopped (" << (signal == SIGINT ? "interrupt" : "terminate") << ")." << std::endl;
    return kExitOk;
}

} // namespace

const PackCommand kServeCommand { "serve", "serve a book's pages over HTTP as the viewer does", kUsage, RunServe };
