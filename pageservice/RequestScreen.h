#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TPackedStringList;

// The body of the answer to a request that comes from another site.
inline constexpr std::string_view kRequestRefusedText
    = "<h2>HTTP Error 403</h2><p><strong>403 Forbidden</strong></p><p>This book is served to its own pages only.</p>";

// Tells the requests of the book's own pages from those that a page of another site makes the
// browser send. Any web site can point a name of its own at 127.0.0.1 (DNS rebinding): its
// requests then carry that name in Host, and, read through it, the book's pages would be the
// site's to read. And any page can make the browser send requests (images, forms, scripts) to
// 127.0.0.1: those say where they come from in Origin or Sec-Fetch-Site.
class TRequestScreen {
public:
    // The names the server answers to besides 127.0.0.1 and localhost: the address it is bound
    // to and names an author allows (`serve --allow-host`). Letter case is ignored.
    // - "NAME:PORT": the name with that port only;
    // - localhost or a loopback address: with the server's port only, as 127.0.0.1;
    // - another IPv4 address (0.0.0.0 included): the server is offered to other machines, and
    //   Host may name it by any literal IP address (no other site's page can make a browser send
    //   one that does not reach this server), and Origin by any of the machine's own addresses
    //   or its host name, with the server's port;
    // - any other name: with the server's port or none, as a proxy in front sends it
    //   (`proxy_set_header Host $host`), and in Origin with http or https (a proxy with TLS).
    void AllowHost(std::string name);

    // Whether a request with these headers is to be refused, for a server on this port:
    // - a Host header naming anything but an allowed name with this port (a request without
    //   one, as HTTP/1.0 clients send it, is answered);
    // - an Origin header naming another origin than http://NAME:PORT of an allowed name (the
    //   opaque origin "null" included);
    // - Sec-Fetch-Site "cross-site" or "same-site" (a page of another port of this machine):
    //   only "same-origin" and "none" (the user's own navigation) come from the book or its reader;
    // - two of any of these headers, or one with a blank before its colon: what comes first is
    //   not what every reader of the request would take.
    // Values are read without the blanks and TABs around them, as HTTP defines field values.
    bool Refuses(const TPackedStringList& headers, int32_t port) const;

private:
    struct Allowed {
        std::string name;
        int32_t port = 0; // 0: the server's
        bool proxied = false; // no port, or the server's, and https in Origin
    };
    bool IsOwnHost(std::string_view hostAndPort, int32_t port, bool origin, bool secure) const;

    std::vector<Allowed> hosts_ { { "127.0.0.1" }, { "localhost" } };
    bool offered_ = false; // bound to an address other machines reach
    std::vector<std::string> ownNames_; // when offered_: the machine's addresses and host name
};
