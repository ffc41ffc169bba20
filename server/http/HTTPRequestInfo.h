#pragma once

#include "common/PackedStringList.h"

#include <string>

// One parsed HTTP request, as handed to OnCommandGet.
class THTTPRequestInfo {
public:
    // The target as sent, not URL-decoded: for GET and HEAD the part before the first "?", for
    // POST the whole target.
    std::string Document;
    std::string Command; // "GET", "POST" or "HEAD"
    std::string ProtocolVersion;
    std::string RemoteIP; // the client's address as the connection has it (a proxy's, behind one)
    std::string AuthUsername;
    std::string AuthPassword;
    // GET and HEAD: the text after the first "?" of the target. POST: the body. Not decoded.
    std::string RawParams;
    bool HasAuthorization = false;
    // String lists packed into one block each, so that a request of many short lines costs about
    // its own size.
    TPackedStringList Headers; // Name=Value, in arrival order
    TPackedStringList Params; // name=value, decoded (when the listener's ParseParams is set)
    TPackedStringList Cookies;
};
