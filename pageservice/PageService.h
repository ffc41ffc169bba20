#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

class TBookReader;
class TStream;
class TNetHTTPListener;
class TNetServerThread;
class THTTPRequestInfo;
class THTTPResponseInfo;

// The body of the answer for a page that the book does not hold or cannot inflate.
inline constexpr std::string_view kPageNotFoundText = "<h2>HTTP Error 404</h2><p><strong>404 Not Found</strong></p>";

// The address the book server listens on; pages are never offered beyond this machine.
inline constexpr std::string_view kPageServerAddress = "127.0.0.1";

// Answers page requests from a book: the one bridge between the book reader and the HTTP server.
// The viewer installs PageRequest as its listener's OnCommandGet; `ebook-pack serve` answers the
// same way through TServedPages, which serves many clients at once.
class TPageService {
public:
    // The reader must be loaded and must outlive the service; nothing else touches it during
    // extraction, because every extraction moves the shared book file's position.
    explicit TPageService(TBookReader& reader)
        : Reader(reader)
    {
    }

    // Sets the listener's address, its port (RandomPagePort) and its OnCommandGet handler. The
    // listener must not be active yet and must not outlive the service.
    void Attach(TNetHTTPListener& listener);

    // Runs on the session threads, several at once. Answers 200 with the page and no content type,
    // so the browser tells each page's type itself, or 404 with kPageNotFoundText.
    void PageRequest(TNetServerThread& Thread, THTTPRequestInfo& RequestInfo, THTTPResponseInfo& ResponseInfo);

private:
    TBookReader& Reader;
    // Serialises extractions; released before the response is sent, so transfers still overlap.
    std::mutex PageLock;

    std::unique_ptr<TStream> ExtractPage(const std::string& name);
};

// The page name a request's document asks for: every "%20" becomes a blank and nothing else is
// decoded, so names stored with other escapes stay reachable exactly as written.
std::string PageNameFromDocument(std::string_view document);

// The name a browser means when it escapes the path itself: browsers send every non-ASCII byte of
// a path as UTF-8 percent escapes ("/caf%C3%A9.htm") and escape some ASCII characters too. Every
// "%hh" is decoded, then the UTF-8 text is turned back into Windows-1252 (bytes that are not UTF-8,
// from a link written with "%E9", stay as they are). Nothing when the result is the name that
// PageNameFromDocument already gives, so a lookup is never repeated for nothing.
std::optional<std::string> PageNameFromEscapedDocument(std::string_view document);

// 11111 plus a number from 0 to 999 drawn from a generator seeded with the time of day.
int32_t RandomPagePort();

// "http://<address>:<port><page name>", the name inserted as it is.
std::string PageURL(std::string_view boundIP, int32_t port, std::string_view pageName);
