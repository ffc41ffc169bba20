#pragma once

#include "pageservice/Answer.h"
#include "sources/PageSource.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class THTTPRequestInfo;

// The one answer path for page requests, shared by the viewer and `ebook-pack serve`: FindPage
// turns the request's document into the page it names, PageAnswer turns that into the answer.

// The body of the answer for a page that the source does not hold or cannot read.
inline constexpr std::string_view kPageNotFoundText = "<h2>HTTP Error 404</h2><p><strong>404 Not Found</strong></p>";

// The address the book server listens on; pages are never offered beyond this machine.
inline constexpr std::string_view kPageServerAddress = "127.0.0.1";

// A page found for a request: the name it is stored under and its bytes.
struct TFoundPage {
    std::string name;
    std::shared_ptr<const std::string> bytes;
    int fileHandle = -1; // as TPageLookup's
    // Where the browser is sent instead (301), when the request named a folder without its final
    // slash: the folder's page is found, but its relative links need the slash to resolve.
    std::string movedTo;
    // The page in zlib form as the source stores it, when it hands that out (TPageLookup's).
    std::shared_ptr<const std::string> deflated;
};

// The page a request's document names. The name as written (PageNameFromDocument) is tried first,
// then the name the browser meant when it escaped the path (PageNameFromEscapedDocument); the first
// name under which the source stores a page decides, so a page stored under the name as written
// that cannot be read is not found, whatever the other name holds. Only when neither name is stored
// do the mends a static web server makes apply, to each name in turn: doubled slashes merged
// ("a//b.png" is "a/b.png"), then a folder's page ("dir/" and "dir" are "dir/index.html", else
// "dir/index.htm"; "dir" answers with a move to "dir/").
std::optional<TFoundPage> FindPage(TPageSource& source, std::string_view document);

// The name with every run of slashes made one.
std::string MergeSlashes(std::string_view name);

// 200 with the page and the content type of its name and bytes (ContentTypeForAnswer), a 301 for a
// page found with movedTo, or 404 with kPageNotFoundText and then notFoundMarkup as text/html.
TAnswer PageAnswer(const std::optional<TFoundPage>& page, std::string_view notFoundMarkup = {});

// Both steps for one request; every method routed to the handler (GET, HEAD, POST) is answered
// the same way.
TAnswer AnswerPageRequest(TPageSource& source, const THTTPRequestInfo& request);

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
