#pragma once

#include "server/http/HTTPRequestInfo.h"
#include "server/http/HTTPResponseInfo.h"
#include "server/listener/NetListener.h"

#include <chrono>
#include <exception>
#include <functional>
#include <string>

using TGetEvent
    = std::function<void(TNetServerThread& Thread, THTTPRequestInfo& RequestInfo, THTTPResponseInfo& ResponseInfo)>;
// Given the request with its line and headers only (no body, no document yet); false refuses it.
using TCheckRequestEvent = std::function<bool(
    TNetServerThread& Thread, const THTTPRequestInfo& RequestInfo, THTTPResponseInfo& ResponseInfo)>;
// Answers a request whose OnCommandGet raised, given what it raised, in the response the handler
// had begun to fill.
using TCommandErrorEvent = std::function<void(TNetServerThread& Thread, const THTTPRequestInfo& RequestInfo,
    const std::exception& Error, THTTPResponseInfo& ResponseInfo)>;
using TOtherEvent = std::function<void(
    TNetServerThread& Thread, const std::string& psCommand, const std::string& psData, const std::string& psVersion)>;

// An HTTP/1.0 server: one request per connection, which is closed after the response. With
// PersistentConnections it serves HTTP/1.1 too: see there.
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

    // Serves one request on the thread's connection and closes it, on every path; but a
    // persistent connection that serves another request stays open, and true asks the session
    // for the round that reads it.
    bool HandleConnection(TNetServerThread& thread) override;

    bool ParseParams = true;
    // When it holds more than blanks and control characters, replaces the responses' server text.
    std::string ServerSoftware;
    // What one request may send at most, in bytes; beyond it the connection is closed unanswered
    // and nothing more is read from it. 0: no limit (the viewer, whose only client is its own
    // browser). A POST body is checked against its Content-Length before any of it is read.
    int32_t MaxRequestLine = 0;
    int32_t MaxHeaderBytes = 0;
    int32_t MaxContentLength = 0;
    TGetEvent OnCommandGet; // GET, POST and HEAD
    // Runs before OnCommandGet once the headers are in, before any body is read. A request it
    // refuses is answered with the response it filled, without reading more of it and without
    // OnCommandGet.
    TCheckRequestEvent OnCheckRequest;
    // Answers a request whose OnCommandGet raised; unset, the answer is 500 with the exception's
    // message as its text. A server that writes all its answers in one place of its own sets it.
    // What it raises closes the connection unanswered.
    TCommandErrorEvent OnCommandError;
    TOtherEvent OnCommandOther;

    // How long a connection stays open after its answer, while the client has not closed its end
    // and the request left bytes unread; closing earlier could cut the answer (see
    // TNetSocket::DisconnectAfterAnswer). Clients that close after reading end it at once.
    static constexpr std::chrono::milliseconds kAnswerLinger { 2000 };

    // Off (the viewer's server): one request per connection, answered in HTTP/1.0, whatever the
    // request. On: a request in HTTP/1.1 is answered in 1.1 and the connection stays open for the
    // next one (pipelined bytes already read wait in the input buffer), until the client sends
    // "Connection: close", sends nothing for KeepAliveIdle, or MaxRequestsPerConnection requests
    // are answered (the last answer says "Connection: close"); a request in 1.0, keep-alive or
    // not, is answered in 1.0 and closed. Every answer then carries its Content-Length (none for
    // 1xx, 204 and 304), a HEAD gets the headers of the GET without the body, and a request whose
    // body the listener does not read (see LeavesBodyUnread) or that is refused before its body
    // is read closes the connection after its answer. Set before switching on.
    bool PersistentConnections = false;
    std::chrono::milliseconds KeepAliveIdle { 5000 };
    int32_t MaxRequestsPerConnection = 100; // 0: no cap

private:
    struct Served {
        bool answered = false; // an answer was written
        bool keepOpen = false; // and the connection serves another request
    };
    Served ServeRequest(TNetServerThread& thread);
    // Whether the connection may serve another request after this one, and the answer's version.
    bool PrepareReuse(TNetServer& connection, const std::string& version, const THTTPRequestInfo& request,
        THTTPResponseInfo& response) const;
    // The rest of a request whose headers are in: its body, document, parameters and cookies.
    void ReadRequest(TNetServer& connection, std::string target, THTTPRequestInfo& request);
    void SendResponse(THTTPResponseInfo& response, bool keepOpen) const;
};
