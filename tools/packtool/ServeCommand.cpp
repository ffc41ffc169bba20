#include "common/AnsiText.h"
#include "common/CommandLine.h"
#include "common/DisplayText.h"
#include "common/Exception.h"
#include "pageservice/PageServer.h"
#include "pageservice/PageService.h"
#include "pageservice/ServedPages.h"
#include "search/QueryBound.h"
#include "search/SourceSearch.h"
#include "server/http/HTTPRequestInfo.h"
#include "tools/library/AccessLog.h"
#include "tools/library/Library.h"
#include "tools/library/LibraryCatalog.h"
#include "tools/library/LibraryFolder.h"
#include "tools/library/LibraryRouter.h"
#include "tools/library/LibrarySearchPool.h"
#include "tools/library/UrlRoot.h"
#include "tools/packtool/BookArgument.h"
#include "tools/packtool/PackCommand.h"
#include "tools/packtool/ServeAddress.h"
#include "tools/packtool/ServeLimits.h"
#include "tools/packtool/ServeSearch.h"

#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <cstdint>
#include <memory>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/stat.h>

namespace {

constexpr std::string_view kUsage = R"(Usage: ebook-pack serve BOOK [--port N] [--bind ADDR] [options]
       ebook-pack serve SRC_DIR [--watch] [--exclude GLOB] [--include-hidden]
                            [--follow-outside] [options]
       ebook-pack serve FILE.epub|FILE.chm|FILE.zim [options]
       ebook-pack serve BOOK BOOK... [options]
       ebook-pack serve --library DIR [options]

Serves the pages of BOOK over HTTP with the pages the viewer gives, prints the address of the
home page and runs until interrupted (Ctrl+C) or terminated; then it stops cleanly. HTTP/1.1
clients keep their connection for further requests and get byte ranges, validators (ETag,
Last-Modified, 304) and text compressed when they accept it (a book's stored pages go out as they
are stored to clients that accept deflate); an HTTP/1.0 request is answered in HTTP/1.0 and its
connection closed.
A folder is served as the book built from it would be (same names, lookup, content types and
book.json settings), each file read as it is now; with --watch every open HTML page reloads
itself within a second of a change to the folder. Nothing is written into the folder. A link
that leads outside the folder is not followed (it is named once) unless --follow-outside is
given, and each file's real path is checked as it is opened; bound to an address other than
loopback, serve never serves a file outside the folder.
An EPUB, CHM or ZIM archive (told by content) is served in place, each page read when asked for;
a ZIM's redirects are followed.

Several books (any mix of the kinds above), or with --library every book file, EPUB, CHM and ZIM
directly in DIR, are served as a library: each book under /NAME/, NAME made of its file name
(lowercase letters, digits, '-', '_' and '.'; the same on every start for the same books; of two
books of one name, the path sorting first keeps it and the other gets a suffix), /NAME/ leading to
its home page and /.download/NAME giving its file. A library folder is watched: a book copied or
moved into it is served once it is complete, one replaced is served anew and one removed goes; a
file that does not open is named on standard error with the reason and tried again when it
changes. A request in progress keeps the book it began with.

Options:
  --port N              port to listen on (default: drawn from 11111 to 12110 as the viewer
                        does, passing over ports that are taken)
  --bind ADDR           IPv4 address to listen on (default 127.0.0.1, this machine only). With
                        another address (0.0.0.0 included) clients may name the server by any IP
                        address or the machine's host name, and the address printed is one a
                        reader can open: for 0.0.0.0 the machine's first address.
  --allow-host NAMES    host names (comma-separated, each with or without :PORT; the option may be
                        repeated) that clients may use for this server besides 127.0.0.1,
                        localhost and the --bind address. A name without a port is answered with
                        this server's port or none, as a proxy in front sends it (nginx:
                        proxy_set_header Host $host). A request that names any other host, or
                        comes from a page of another site, is answered 403.
  --url-root /PREFIX    serve everything under /PREFIX/ (behind a proxy that passes that path on):
                        every address and move the server writes carries it; requests outside it
                        are answered 404
  --library DIR         serve the books in DIR as a library, watching it for changes
  --log                 write a line for every request answered to standard output: the client
                        (as a proxy names it in X-Forwarded-For or X-Real-IP, else -), the time,
                        the request line, the status, the body's bytes and the book
  --cache-mb N          keep up to N MiB of inflated pages for later requests (default 64); 0 keeps
                        none. The answers are the same either way.
  --memory-mb N         inflated pages in memory at once, cache included, at most N MiB (default
                        256); beyond it new extractions wait for answers in flight to end. A page
                        larger than that is still served, alone. A library shares both out among
                        its book files (a library folder as if it held 16 at least; at least 4 MiB
                        of memory each).
  --max-connections N   live connections at most (default 4096); one more closes the connection
                        that has waited longest for its client, and waits only while all are busy
  --idle-timeout MIN    close a connection that has sent nothing for MIN minutes, and one whose
                        request is not in after MIN minutes (default 1; 0: never)
  --keep-alive SECONDS  how long a connection waits for its next request (default 15; 0: one
                        request a connection)
  --max-requests N      requests one connection carries at most (default 1000; 0: no limit)
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

// What every shape of serve reads from the line alike.
struct ServeSetup {
    std::string address = std::string(kPageServerAddress);
    TPageServerLimits limits;
    int32_t askedPort = 0;
    TUrlRoot root { "" };
    bool log = false;
    TWebServing web;
};

ServeSetup ReadServeSetup(const CommandLine& line)
{
    ServeSetup setup;
    if (const auto bind = line.Value("--bind")) {
        in_addr parsed {};
        if (::inet_pton(AF_INET, bind->c_str(), &parsed) != 1)
            throw EUsageError("--bind takes a dotted IPv4 address, not '" + *bind + "'");
        setup.address = *bind;
    }
    setup.limits = ReadServeLimits(line);
    setup.askedPort = NumberOption(line, "--port", 1, 65535, 0);
    setup.root = TUrlRoot(line.Value("--url-root").value_or(""));
    setup.log = line.Has("--log");
    setup.web = ReadWebServing(line);
    return setup;
}

// "http://HOST:PORT" for the server as a reader reaches it.
std::string BaseURL(const TPageServer& server)
{
    return "http://" + ReachableHost(server.Address()) + ":" + std::to_string(server.Port());
}

// Writes the request's line to the access log when there is one, and an answer that failed to
// standard error with the book's name.
void Account(
    TAccessLog* log, std::ostream& err, const THTTPRequestInfo& request, const TAnswer& answer, std::string_view book)
{
    if (log != nullptr)
        log->Write(request, answer, book);
    if (answer.code >= 500)
        err << (book.empty() ? std::string("serve") : std::string(book)) << ": " << answer.code << " for "
            << EscapeForTerminal(request.Document) << std::endl;
}

int StopServing(const BlockedStopSignals& stopSignals, TPageServer& server)
{
    const int signal = stopSignals.Wait();
    // A search running now (a stored index made to spin, a long query) ends within milliseconds
    // instead of holding the stop until it finishes.
    StopAllSearches();
    // No new connections; requests waiting for memory give up; then the server's destruction
    // closes every connection, which ends whatever its session is blocked in.
    server.SwitchOff();
    server.Stop();
    return signal;
}

int RunOneBook(const CommandLine& line, const ServeSetup& setup, ToolContext& context)
{
    const std::string& fileName = line.Operands()[0];
    RaiseDescriptorLimit();

    // Before any thread starts: the server's and the watch's threads take the mask.
    const BlockedStopSignals stopSignals;
    const bool watch = line.Has("--watch");
    // Declared before the server, whose sessions read it. Reachable from other machines, a folder
    // serves only what lies inside it.
    const TSourceArgument opened
        = OpenSourceArgument(fileName, line, TFolderServing { watch, !setup.address.starts_with("127."), context.err });
    TBookSource& source = *opened.source;
    // The pages of a book file are served as the viewer serves them: a page being sent is shared by
    // every client that asks for it meanwhile, kept in the cache, and held within the memory budget.
    std::unique_ptr<TServedPages> shared;
    if (const TBookReader* reader = BookReaderOf(source)) {
        shared = std::make_unique<TServedPages>(*reader, setup.limits.memoryBytes, setup.limits.cacheBytes);
        // Sent as they are stored to browsers that accept deflate.
        shared->KeepStoredBytes(true);
    }
    TPageSource& pages = shared ? static_cast<TPageSource&>(*shared) : source;
    std::unique_ptr<TAccessLog> log = setup.log ? std::make_unique<TAccessLog>(context.out) : nullptr;
    // What caches are told of the book's pages: the file's time and version. A folder's pages are
    // read as they are when asked for, so caches ask again each time. Declared before the server,
    // whose sessions read it.
    TLibraryBook caching;
    struct stat status { };
    if (::stat(fileName.c_str(), &status) == 0 && S_ISREG(status.st_mode)) {
        caching.modified = status.st_mtim.tv_sec;
        caching.version = FileVersion(status);
    } else {
        caching.watched = true;
    }
    // Searches run on a few threads with a short queue, as a library's do: past it a search is
    // answered 503 at once, so that pages and suggestions keep answering while readers search.
    TSearchPool searches(TSearchPoolSize {});
    // Declared last, destroyed first: its sessions end before the pages go.
    TPageServer server(pages, setup.limits);
    // The handler keeps the search: it goes with the server, after the last session has ended. A
    // watched folder is searched as it was when serving started.
    const auto search = std::make_shared<TServedSearch>(source, context.err);
    // Every request is answered here, as the server would answer it with the root taken off.
    server.AnswerFirst([search, &pages, &setup, &log, &context, &caching, &searches](const THTTPRequestInfo& request) {
        const TUrlRoot::TPlace place = setup.root.Place(request.Document);
        TAnswer answer;
        if (place.kind == TUrlRoot::TPlace::kOutside) {
            answer = TextAnswer(404, std::string(kPageNotFoundText));
        } else if (place.kind == TUrlRoot::TPlace::kRootWithoutSlash) {
            answer = MoveAnswer(setup.root.Text() + "/");
        } else {
            // Copied only under a root: most requests are answered as they came.
            THTTPRequestInfo inner;
            const THTTPRequestInfo* asked = &request;
            if (place.rest != request.Document) {
                inner = request;
                inner.Document = std::string(place.rest);
                asked = &inner;
            }
            std::optional<TAnswer> searched;
            if (asked->Document == TServedSearch::kSearchPath) {
                if (!searches.Run([&] { searched = search->Answer(*asked); })) {
                    searched = TextAnswer(503, "Too many searches at once: try again in a second.");
                    searched->headers.emplace_back("Retry-After", "1");
                }
            } else {
                searched = search->Answer(*asked);
            }
            if (searched) {
                answer = std::move(*searched);
            } else {
                answer = AnswerPageRequest(pages, *asked);
                SetPageCaching(answer, caching, asked->Document);
            }
            const auto moved = std::find_if(answer.headers.begin(), answer.headers.end(),
                [](const auto& header) { return header.first == "Location" && header.second.starts_with('/'); });
            if (moved != answer.headers.end() && !setup.root.Text().empty())
                answer = MoveAnswer(setup.root.Text() + moved->second);
        }
        Account(log.get(), context.err, request, answer, {});
        return std::optional<TAnswer>(std::move(answer));
    });
    server.ServeTheWeb(setup.web);
    if (!SwitchOnServing(server, line, setup.address, setup.askedPort, context.err))
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
        BaseURL(server) + setup.root.Text() + (home.empty() ? "/" : ReplaceAll(home, " ", "%20")), LineBreaks::Blank,
        kDisplayDescriptionLength)
                << std::endl;
    context.err << "Serving the " << source.KindName() << " " << EscapeForTerminal(fileName)
                << (watch ? ", reloading open pages after every change" : "") << "; press Ctrl+C to stop." << std::endl;

    const int signal = StopServing(stopSignals, server);
    if (shared)
        shared->Stop();
    search->Stop();
    context.err << "Stopped (" << (signal == SIGINT ? "interrupt" : "terminate") << ")." << std::endl;
    return kExitOk;
}

constexpr std::size_t kLeastFolderBooks = 16;

// A page source holding nothing: a library server answers every request through its router.
class NoPages : public TPageSource {
public:
    TPageLookup Lookup(std::string_view) override { return {}; }
};

int RunLibrary(const CommandLine& line, const ServeSetup& setup, ToolContext& context)
{
    const std::optional<std::string> folder = line.Value("--library");
    if (folder && !line.Operands().empty())
        throw EUsageError("--library DIR serves the books in DIR; give no BOOK besides it");
    RaiseDescriptorLimit();
    const BlockedStopSignals stopSignals;

    TLibrarySettings settings;
    settings.memoryBytes = setup.limits.memoryBytes;
    settings.cacheBytes = setup.limits.cacheBytes;
    // A library folder may grow while serving: its budgets are shared as if it held at least
    // kLeastFolderBooks, so that books added later do not each take the whole of them.
    settings.expectedBooks
        = folder ? std::max(TLibraryFolder::Candidates(*folder).size(), kLeastFolderBooks) : line.Operands().size();
    settings.insideOnly = !setup.address.starts_with("127.");
    settings.watchFolders = line.Has("--watch");
    // Declared before the folder watch that fills it and the server whose sessions read it.
    TLibrary library(settings, context.err);
    std::unique_ptr<TLibraryFolder> watch;
    if (folder) {
        watch = std::make_unique<TLibraryFolder>(library, *folder, context.err);
    } else {
        std::vector<std::shared_ptr<TLibraryBook>> books;
        for (const std::string& path : line.Operands())
            books.push_back(library.Open(path, line));
        library.Place(books);
    }
    TLibraryRouter router(library, setup.root);
    TLibraryCatalog catalog(library, setup.root.Text(), context.err);
    router.SetCatalog([&catalog](const THTTPRequestInfo& request, std::string_view document) {
        return catalog.Answer(request, document);
    });
    std::unique_ptr<TAccessLog> log = setup.log ? std::make_unique<TAccessLog>(context.out) : nullptr;
    NoPages noPages;
    // Declared last, destroyed first: its sessions end before the books and the router go.
    TPageServer server(noPages, setup.limits);
    server.AnswerFirst([&router, &log, &context](const THTTPRequestInfo& request) {
        std::string book;
        try {
            TAnswer answer = router.Answer(request, &book);
            Account(log.get(), context.err, request, answer, book);
            return std::optional<TAnswer>(std::move(answer));
        } catch (const std::exception& error) {
            // The server answers 500 with the reason; said here too, with the book it came from.
            Account(log.get(), context.err, request, TextAnswer(500, error.what()), book);
            context.err << (book.empty() ? std::string("serve") : book) << ": " << EscapeForTerminal(error.what())
                        << std::endl;
            throw;
        }
    });
    server.ServeTheWeb(setup.web);
    if (!SwitchOnServing(server, line, setup.address, setup.askedPort, context.err))
        return kExitError;

    context.out << BaseURL(server) << setup.root.Text() << "/" << std::endl;
    const std::size_t count = library.Shelf()->size();
    context.err << "Serving a library of " << count << (count == 1 ? " book" : " books")
                << (folder ? " from " + EscapeForTerminal(*folder) + ", watching it for changes" : std::string())
                << "; press Ctrl+C to stop." << std::endl;

    const int signal = StopServing(stopSignals, server);
    library.Stop();
    context.err << "Stopped (" << (signal == SIGINT ? "interrupt" : "terminate") << ")." << std::endl;
    return kExitOk;
}

int RunServe(const std::vector<std::string>& args, ToolContext& context)
{
    auto options = ServeOptionTable();
    options.insert(options.end(),
        { { "--watch", "", false }, { "--exclude", "", true }, { "--include-hidden", "", false }, kFollowOutsideOption,
            { "--no-follow-outside", "", false } });
    const CommandLine line(args, options);
    if (!line.Has("--library"))
        line.ExpectOperands(1, SIZE_MAX, "BOOK");
    const ServeSetup setup = ReadServeSetup(line);
    if (line.Has("--library") || line.Operands().size() > 1)
        return RunLibrary(line, setup, context);
    return RunOneBook(line, setup, context);
}

} // namespace

const PackCommand kServeCommand { "serve", "serve a book's pages over HTTP as the viewer does", kUsage, RunServe };
