#pragma once

#include "common/PackedStringList.h"

#include <string_view>

// What a persistent connection makes of a request's version and headers.

// True for HTTP/1.1 and later minor versions of 1: the answer goes out in 1.1 and the connection
// stays open unless the client says otherwise. HTTP/1.0 (its keep-alive included) and anything
// else is answered in 1.0 and closed.
bool SpeaksHttp11(std::string_view version);

// True when a comma-separated header of the request (such as Connection) names the token, in any
// letter case.
bool HeaderHasToken(const TPackedStringList& headers, std::string_view name, std::string_view token);

// True when the request announces a body that the listener does not read (a Transfer-Encoding, or
// a Content-Length above 0 on anything but POST): the connection cannot be used again after it.
bool LeavesBodyUnread(std::string_view method, const TPackedStringList& headers);
