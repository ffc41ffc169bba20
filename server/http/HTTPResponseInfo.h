#pragma once

#include "common/Streams.h"
#include "common/StringList.h"
#include "server/socket/NetSockets.h"

#include <cstdint>
#include <memory>
#include <string>

// The response a handler fills: a status, standard headers, cookies, an optional Basic challenge
// and a body as text or as a stream. Writes straight to the connection.
class THTTPResponseInfo {
public:
    explicit THTTPResponseInfo(TNetSocket& connection);

    // Sets ResponseCode and its reason phrase ("Unknown Response Code" for codes not known).
    void SetResponseCode(int32_t code);
    // Sends the status line and the headers; a second call raises Exception "Header has already
    // been written.". With bodyFollows the system may keep the header back to send it in one
    // segment with the body's first piece.
    void WriteHeader(bool bodyFollows = false);
    // Sends the body: for codes 200 to 499 the stream (from its position) or else the text; for
    // every other code an error body "<B>code text</B><P>" + ContentText and CR LF.
    void WriteContent();
    // The error body without its closing line end.
    std::string ErrorBody() const;

    // Kept as written: the viewer's browser and tests see this exact "Server" value.
    std::string ServerSoftware = "NetServer/1.000";
    std::string AuthRealm; // non-empty: status 401 with a Basic challenge for this realm
    std::string ResponseText;
    std::string ContentType = "text/html"; // empty: no Content-Type header
    TNetSocket& Connection; // not owned
    bool HeaderWritten = false;
    int32_t ResponseCode = 200;
    int64_t ContentLength = -1; // negative: no Content-Length header
    // The status line's version: the viewer's answers are HTTP/1.0; a persistent connection
    // answers a 1.1 request in 1.1.
    std::string ProtocolVersion = "HTTP/1.0";
    // False for a HEAD on a persistent connection: the headers, with the Content-Length of the
    // body, and no body.
    bool SendBody = true;
    TStringList Cookies;
    TStringList Headers;
    // The body as a stream; the response owns it and frees it, also when writing fails.
    std::unique_ptr<TStream> ContentStream;
    std::string ContentText;
};
