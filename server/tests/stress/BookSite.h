#pragma once

#include "book/BookReader.h"
#include "common/Streams.h"
#include "pageservice/ServedPages.h"
#include "server/http/HTTPListener.h"

#include <string>
#include <vector>

// One request a client may send and the exact bytes the server must answer to it.
struct PageExchange {
    std::string request;
    std::string answer;
};

// The viewer's page server in miniature: a small book written into memory, the real answer path,
// and an HTTP listener on a free loopback port.
//
// Shutdown order: the listener is the last member, so it is destroyed first and its sessions have
// ended before the service and the reader they call into go.
class BookSite {
public:
    BookSite();
    BookSite(const BookSite&) = delete;
    BookSite& operator=(const BookSite&) = delete;

    // Switches the listener on at a free port of 127.0.0.1; the port, or 0 when none was free.
    // Wrap Listener().OnCommandGet before this to watch the requests.
    int Start();

    TNetHTTPListener& Listener() { return listener_; }
    int Port() const { return port_; }

    // Pages small and larger than a socket buffer, a name with an escaped blank, an empty page, a
    // POST and a missing page; the first is the small page.
    const std::vector<PageExchange>& Exchanges() const { return exchanges_; }
    const PageExchange& SmallPage() const { return exchanges_.front(); }
    // A page of 1.5 MiB, more than loopback socket buffers take at once: the server is still
    // sending it when the client has read only part of it.
    const PageExchange& BigPage() const { return bigPage_; }

private:
    TMemoryStream book_;
    TBookReader reader_;
    // Every page inflated afresh, shared while in flight, as the viewer serves them.
    TServedPages pages_ { reader_, 64u << 20, 0 };
    std::vector<PageExchange> exchanges_;
    PageExchange bigPage_;
    int port_ = 0;
    TNetHTTPListener listener_ { nullptr }; // must be last, see above
};
