#include "common/AnsiText.h"
#include "common/CommandLine.h"
#include "common/DisplayText.h"
#include "common/Exception.h"
#include "pageservice/PageServer.h"
#include "pageservice/PageService.h"
#include "pageservice/ServedPages.h"
#include "search/QueryBound.h"
#include "search/SourceSearch.h"
#include "tools/packtool/BookArgument.h"
#include "tools/packtool/PackCommand.h"
#include "tools/packtool/ServeLimits.h"
#include "tools/packtool/ServeSearch.h"

#include <arpa/inet.h>
#include <csignal>
#include <memory>
#include <pthread.h>
#include <sys/socket.h>

namespace {

constexpr std::string_view kUsage = R"(Usage: ebook-pack serve BOOK [--port N] [--bind ADDR] [options]
       ebook-pack serve SRC_DIR [--watch] [--exclude GLOB] [--include-hidden]
                            [--follow-outside] [options]
       ebook-pack serve FILE.epub|FILE.chm|FILE.zim [options]

Serves the pages of BOOK over HTTP/1.0 with the answers the viewer gives, prints the address of
the home page and runs until interrupted (Ctrl+C) or terminated; then it stops cleanly.
A folder is served as the book built from it would be (same names, lookup, content types and
book.json settings), each file read as it is now; with --watch every open HTML page reloads
itself within a second of a change to the folder. Nothing is written into the folder. A link
that leads outside the folder is not followed (it is named once) unless --follow-outside is
given, and each file's real path is checked as it is opened; bound to an address other than
loopback, serve never serves a file outside the folder.
An EPUB, CHM or ZIM archive (told by content) is served in place, each page read when asked for;
a ZIM's redirects are followed.

Options:
  --port N              port to listen on (default: drawn from 11111 to 12110 as the viewer
                        does, passing over ports that are taken)
  --bind ADDR           IPv4 address to listen on (default 127.0.0.1, this machine only)
  --allow-host NAMES    host names (comma-separated) that clients may use for this server besides
                        127.0.0.1, localhost and the --bind address. A request that names any
                        other host, or comes from a page of another site, is answered 403.
  --cache-mb N          keep up to N MiB of inflated pages for later requests (default 64); 0 keeps
                        none. The answers are the same either way.
  --memory-mb N         inflated pages in memory at once, cache included, at most N MiB (default
                        256); beyond it new extractions wait for answers in flight to end. A page
                        larger than that is still served, alone.
  --max-connections N   live connections at most (default 4096); one more closes the connection
                        that has waited longest for its client, and waits only while all are busy
  --idle-timeout MIN    close a connection that has sent nothing for MIN minutes, and one whose
                        request is not in after MIN minutes (default 1; 0: never)
  --max-request-line N  longest request line, in bytes (default 8192)
  --max-headers N       largest header block, in bytes (default 65536)
  --max-body N          largest request body, in bytes (default 1048576)
A client beyond a limit is disconnected unanswered, and nothing more is read from it.

Search: /.search?q=WORDS answers a page of the pages that hold every word, best first, with
links; add format=json for JSON (query, total, start, results with name, title, link, score and
snippet pieces), start=N and limit=N (at most 100, default 20) to page. /.suggest?q=WORDS answers
the titles that begin with the words as JSON. A book's own index is used; without one (older
books, folders, EPUB, CHM) one is built in memory as serving starts, a ZIM's own is used when it
has one, and a watched folder is searched as it was when serving started. No page is served under
/.search or /.suggest.
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
    auto options = ServeOptionTable();
    options.insert(options.end(),
        { { "--watch", "", false }, { "--exclude", "", true }, { "--include-hidden", "", false },
            { "--follow-outside", "", false }, { "--no-follow-outside", "", false } });
    const CommandLine line(args, options);
    line.ExpectOperands(1, 1, "BOOK");
    const std::string& fileName = line.Operands()[0];

    std::string address(kPageServerAddress);
    if (const auto bind = line.Value("--bind")) {
        in_addr parsed {};
        if (::inet_pton(AF_INET, bind->c_str(), &parsed) != 1)
            throw EUsageError("--bind takes a dotted IPv4 address, not '" + *bind + "'");
        address = *bind;
    }
    const TPageServerLimits limits = ReadServeLimits(line);
    const int32_t askedPort = NumberOption(line, "--port", 1, 65535, 0);
    RaiseDescriptorLimit();

    // Before any thread starts: the server's and the watch's threads take the mask.
    const BlockedStopSignals stopSignals;
    const bool watch = line.Has("--watch");
    // Declared before the server, whose sessions read it. Reachable from other machines, a folder
    // serves only what lies inside it.
    const TSourceArgument opened
        = OpenSourceArgument(fileName, line, TFolderServing { watch, !address.starts_with("127."), context.err });
    TBookSource& source = *opened.source;
    // The pages of a book file are served as the viewer serves them: a page being sent is shared by
    // every client that asks for it meanwhile, kept in the cache, and held within the memory budget.
    std::unique_ptr<TServedPages> shared;
    if (const TBookReader* reader = BookReaderOf(source))
        shared = std::make_unique<TServedPages>(*reader, limits.memoryBytes, limits.cacheBytes);
    // Declared last, destroyed first: its sessions end before the pages go.
    TPageServer server(shared ? static_cast<TPageSource&>(*shared) : source, limits);
    // The handler keeps the search: it goes with the server, after the last session has ended. A
    // watched folder is searched as it was when serving started.
    const auto search = std::make_shared<TServedSearch>(source, context.err);
    server.AnswerFirst([search](const THTTPRequestInfo& request) { return search->Answer(request); });
    if (!SwitchOnServing(server, line, address, askedPort, context.err))
        return kExitError;

    std::string home;
    try {
        home = source.HomePageName();
    } catch (const Exception&) {
        // Said below, as for a book without pages.
    }
    if (home.empty())
        context.err << "Warning: " << EscapeForTerminal(fileName) << " has no home page\n";
    // Blanks go out as %20, which the page service turns back into blanks, so the address can be
    // pasted into a browser or given to curl as it is printed; it is cut only past the length
    // of a message, not a title's, since scripts read it.
    context.out << EscapeForTerminal(
        server.PageURL(home.empty() ? "/" : ReplaceAll(home, " ", "%20")), LineBreaks::Blank, kDisplayDescriptionLength)
                << std::endl;
    context.err << "Serving the " << source.KindName() << " " << EscapeForTerminal(fileName)
                << (watch ? ", reloading open pages after every change" : "") << "; press Ctrl+C to stop." << std::endl;

    const int signal = stopSignals.Wait();
    // A search running now (a stored index made to spin, a long query) ends within milliseconds
    // instead of holding the stop until it finishes.
    StopAllSearches();
    // No new connections; requests waiting for memory give up; then the server's destruction
    // closes every connection, which ends whatever its session is blocked in.
    server.SwitchOff();
    server.Stop();
    if (shared)
        shared->Stop();
    search->Stop();
    context.err << "Stopped (" << (signal == SIGINT ? "interrupt" : "terminate") << ")." << std::endl;
    return kExitOk;
}

} // namespace

const PackCommand kServeCommand { "serve", "serve a book's pages over HTTP as the viewer does", kUsage, RunServe };
