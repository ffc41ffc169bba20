#pragma once

#include "pageservice/Answer.h"

class THTTPRequestInfo;
class THTTPResponseInfo;

// How a page server writes its answers into responses: the one place that sets an answer's status,
// headers and body on the way out, for every answer the server gives (pages, moves, not found,
// refusals, failures, and whatever TPageServer::AnswerFirst answers). The server holds one policy
// and hands it every answer; Write runs on the session threads, several at once.
//
// This class writes the answers as the viewer's own server has always sent them, byte for byte:
// HTTP/1.0, the code's reason phrase, the answer's own headers, then Server, Content-Type and
// Content-Length (the listener counts the body it sends), and for codes of 500 and above the
// listener's error body around the text. A server that answers otherwise derives from it.
class TAnswerPolicy {
public:
    virtual ~TAnswerPolicy() = default;

    // Fills the response, as the listener made it, from the answer to the request. The request is
    // as far as it was read: for a refusal its line and headers only, without document or
    // parameters.
    virtual void Write(const THTTPRequestInfo& request, TAnswer answer, THTTPResponseInfo& response) const;
};
