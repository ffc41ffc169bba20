#pragma once

#include "Streams.h"
#include "StringList.h"
#include "servernet.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

// One parsed HTTP request, as handed to OnCommandGet.
class THTTPRequestInfo {
public:
    // The target as sent, not URL-decoded: for GET and HEAD the part before the first "?", for
    // POST the whole target.
    std::string Document;
    std::string Command; // "GET", "POST" or "HEAD"
    std::string ProtocolVersion;
    std::string AuthUsername;
    std::string AuthPassword;
    // GET and HEAD: the text after the first "?" of the target. POST: the body. Not decoded.
    std::string RawParams;
    bool HasAuthorization = false;
    TStringList Headers; // Name=Value, in arrival order
    TStringList Params; // name=value, decoded (when the listener's ParseParams is set)
    TStringList Cookies;
};

// The response a handler fills: a status, standard headers, cookies, an optional Basic challenge
// and a body as text or as a stream. Writes straight to the connection.
class THTTPResponseInfo {
public:
    explicit THTTPResponseInfo(TNetSocket& connection);

    // Sets ResponseCode and its reason phrase ("Unknown Response Code" for codes not known).
    void SetResponseCode(int32_t code);
    // Sends the status line and the headers; a second call raises Exception "Header has already
    // been written.".
    void WriteHeader();
    // Sends the body: for codes 200 to 499 the stream (from its position) or else the text; for
    // every other code an error body "<B>code text</B><P>" + ContentText and CR LF.
    void WriteContent();
    // The error body without its closing line end.
    std::string ErrorBody() const;

    std::string ServerSoftware = "NetServer/1.000";
    std::string AuthRealm; // non-empty: status 401 with a Basic challenge for this realm
    std::string ResponseText;
    std::string ContentType = "text/html"; // empty: no Content-Type header
    TNetSocket& Connection; // not owned
    bool HeaderWritten = false;
    int32_t ResponseCode = 200;
    int32_t ContentLength = -1; // negative: no Content-Length header
    TStringList Cookies;
    TStringList Headers;
    // The body as a stream; the response owns it and frees it, also when writing fails.
    std::unique_ptr<TStream> ContentStream;
    std::string ContentText;
};

using TGetEvent
    = std::function<void(TNetServerThread& Thread, THTTPRequestInfo& RequestInfo, THTTPResponseInfo& ResponseInfo)>;
using TOtherEvent = std::function<void(
    TNetServerThread& Thread, const std::string& psCommand, const std::string& psData, const std::string& psVersion)>;

// An HTTP/1.0 server: one request per connection, which is closed after the response.
//
// Use: create it, set BoundIP, Port and OnCommandGet, then SetActive(true). The handler runs on
// the connection's session thread, possibly on several at once, and guards shared state itself:
//
//     listener.OnCommandGet = [&](TNetServerThread&, THTTPRequestInfo& request, THTTPResponseInfo& response) {
//         auto page = std::make_unique<TMemoryStream>();
//         if (Find(request.Document, *page)) {
//             response.SetResponseCode(200);
//             response.ContentStream = std::move(page); // sent from its start, then freed
//             response.ContentType.clear();
//         } else {
//             response.SetResponseCode(404);
//             response.ContentText = "<h2>Not here</h2>";
//         }
//     };
//
// Without a listening socket (tests, fuzzers): give a TNetServer owned by the listener one end of
// a socketpair() through SetSocket, wrap it in a TNetServerThread that is never started, and call
// HandleConnection(thread) on the calling thread; write the request into the other end before,
// and read the response from it until end of file after:
//
//     int ends[2];
//     socketpair(AF_UNIX, SOCK_STREAM, 0, ends);
//     auto connection = std::make_unique<TNetServer>(&listener);
//     connection->SetSocket(ends[0]);
//     TNetServerThread thread(std::move(connection));
//     write(ends[1], request.data(), request.size());
//     shutdown(ends[1], SHUT_WR);         // a cut-off request then ends instead of waiting, and
//                                         // the close after an answer does not linger
//     listener.HandleConnection(thread); // raises what a real session would discard
//
// The answer waits in the pair's buffer until it is read; for answers larger than that buffer,
// read the other end on a second thread while HandleConnection runs.
class TNetHTTPListener : public TNetListener {
public:
    explicit TNetHTTPListener(TComponent* owner);
    ~TNetHTTPListener() override;

    // Serves one request on the thread's connection and closes it, on every path.
    bool HandleConnection(TNetServerThread& thread) override;

    bool ParseParams = true;
    // When it holds more than blanks and control characters, replaces the responses' server text.
    std::string ServerSoftware;
    TGetEvent OnCommandGet; // GET, POST and HEAD
    TOtherEvent OnCommandOther;

    // How long a connection stays open after its answer, while the client has not closed its end
    // and the request left bytes unread; closing earlier could cut the answer (see
    // TNetSocket::DisconnectAfterAnswer). Clients that close after reading end it at once.
    static constexpr std::chrono::milliseconds kAnswerLinger { 2000 };

private:
    // True when an answer was written.
    bool ServeRequest(TNetServerThread& thread);
    void ReadRequest(TNetServer& connection, const std::string& target, THTTPRequestInfo& request);
    static void SendResponse(THTTPResponseInfo& response);
};

// Splits "method target version" at the last blank (the version) and the first blank before it,
// so that blanks inside the target survive; the method is upper-cased. A line without a blank
// raises Exception "Error in parsing command.".
void SplitRequestLine(const std::string& line, std::string& method, std::string& target, std::string& version);
// Decodes raw parameter text into name=value entries: an encoded CR becomes ESC, an encoded LF
// disappears, and "&" (also encoded) separates the entries.
void DecodeParams(const std::string& raw, TStringList& params);
// Cuts the cookie entries out of every header entry that contains "Cookie=".
void ExtractCookies(const TStringList& headers, TStringList& cookies);
