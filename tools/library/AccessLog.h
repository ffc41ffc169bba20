#pragma once

#include "pageservice/Answer.h"

#include <mutex>
#include <ostream>
#include <string_view>

class THTTPRequestInfo;

// `serve --log`: a line for every request answered, in the common log format that log readers
// take, with the book answered from at the end:
//   ADDRESS - - [09/Dec/2026:21:39:13 +0000] "GET /guide/index.htm HTTP/1.1" 200 5120 "guide"
// The address is the client's as a proxy in front names it (X-Forwarded-For's first, X-Real-IP),
// else "-"; the bytes are the body's. Lines of requests answered at once do not interleave.
class TAccessLog {
public:
    explicit TAccessLog(std::ostream& out);
    void Write(const THTTPRequestInfo& request, const TAnswer& answer, std::string_view book);

private:
    std::ostream& out_;
    std::mutex lock_;
};

// The bytes of the answer's body.
int64_t BodyBytes(const TAnswer& answer);
