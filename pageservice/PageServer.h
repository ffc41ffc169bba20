#pragma once

#include "book/BookReader.h"
#include "pageservice/Answer.h"
#include "pageservice/AnswerPolicy.h"
#include "pageservice/PageServerLimits.h"
#include "pageservice/RequestScreen.h"
#include "pageservice/ServedPages.h"
#include "pageservice/WebServing.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class TFileStream;
class THTTPRequestInfo;
class TNetHTTPListener;

// A book's pages served over HTTP on this machine: the book file, its reader, the pages handed out
// and the listener that answers from them, in one piece for the viewer and `ebook-pack serve`.
//
// Shutdown order is the members' order: the listener is declared last, so it goes first and ends
// every session before the pages, the reader and the file they read go; the destructor only tells
// requests waiting for memory to give up before that.
class TPageServer {
public:
    // Opens the book file read-only (raises Exception "Cannot open file NAME" with the reason) and
    // loads it. A file that is no book still makes a server, which answers from whatever directory
    // entries were read (as a rule, 404); Reader().IsValid() tells. Not listening yet: the address
    // is 127.0.0.1 and the port one drawn from the page ports.
    TPageServer(const std::string& bookFile, const TPageServerLimits& limits);
    // Serves the pages of another source (a folder an author is editing) with the same names,
    // lookup, content types, refusals and limits as a book's; there is no book, Reader() is empty.
    // The source must outlive the server.
    TPageServer(TPageSource& source, const TPageServerLimits& limits);
    ~TPageServer();
    TPageServer(const TPageServer&) = delete;
    TPageServer& operator=(const TPageServer&) = delete;

    const TBookReader& Reader() const { return reader_; }
    const TServedPages& Pages() const { return pages_; }

    // Set while switched off. The address is one more name requests may give in Host.
    void SetAddress(const std::string& address);
    void SetPort(int32_t port);
    // A name (or address) besides 127.0.0.1, localhost and the bound address under which clients
    // may reach the server; set before switching on. Requests naming any other host, or coming
    // from another site, are answered 403 with kRequestRefusedText and nothing of the book.
    void AllowHost(std::string name);

    // A handler asked first for every GET, HEAD and POST request: when it gives an answer, no page
    // is looked up. Set while switched off.
    using RequestHandler = std::function<std::optional<TAnswer>(const THTTPRequestInfo&)>;
    void AnswerFirst(RequestHandler handler) { answerFirst_ = std::move(handler); }

    // How every answer of this server goes out: pages, moves, not found, the refusal's 403, the 500
    // of a request that failed and AnswerFirst's. The viewer's answers (TAnswerPolicy itself)
    // unless set; set while switched off.
    void SetAnswerPolicy(std::shared_ptr<const TAnswerPolicy> policy) { answers_ = std::move(policy); }

    // Serves browsers, proxies and caches on the web (`ebook-pack serve`) instead of the viewer's
    // engine: answers go out through TWebAnswerPolicy, connections persist as HTTP/1.1 allows
    // (TNetHTTPListener::PersistentConnections) within the serving's idle time and request cap,
    // pages carry their stored zlib bytes for clients that accept deflate, and the book's pages
    // carry the book file's modification time as Last-Modified. Call while switched off; a policy
    // set later replaces the web one, the connections stay persistent.
    void ServeTheWeb(const TWebServing& serving);

    // Switches on at the port, or when that is taken at the next free page port in turn
    // (ENetAddressInUse when every one is taken). Switching on while on changes nothing.
    void SwitchOn();
    // Switches on at exactly the port: ENetAddressInUse when it is taken.
    void SwitchOnAtPort();
    // No new connections; requests in progress finish.
    void SwitchOff();
    // Ends the service for good: requests waiting for memory give up now. Then switch off, or let
    // the server go.
    void Stop();

    bool Active() const;
    int32_t Port() const;
    const std::string& Address() const;
    // "http://ADDRESS:PORT" followed by the page name as it is.
    std::string PageURL(std::string_view pageName) const;

private:
    // The listener's address, port, limits and handlers.
    void Configure(const TPageServerLimits& limits);

    // Declared first: the reader reads from it.
    std::unique_ptr<TFileStream> bookStream_;
    TBookReader reader_;
    TServedPages pages_;
    // What requests are answered from: pages_, or the source given instead of a book.
    TPageSource* source_;
    TRequestScreen screen_;
    // The port switched on at, for the sessions: the listener's own may change while sessions of
    // an earlier switching-on still run.
    std::atomic<int32_t> servedPort_ { 0 };
    // Last-Modified of the book's pages once serving the web: the book file's time; 0 otherwise.
    int64_t pagesModified_ = 0;
    int64_t bookModified_ = 0;
    // These two go after the listener: no session uses them by then.
    RequestHandler answerFirst_;
    std::shared_ptr<const TAnswerPolicy> answers_ = std::make_shared<const TAnswerPolicy>();
    // Declared last, destroyed first: see above.
    std::unique_ptr<TNetHTTPListener> listener_;
};
