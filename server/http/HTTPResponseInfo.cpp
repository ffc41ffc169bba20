#include "server/http/HTTPResponseInfo.h"

#include <string_view>

namespace {

struct ReasonPhrase {
    int32_t code;
    const char* text;
};

// The reason phrases as this server has always sent them. "Methode not allowed", "Request Entity
// To Long", "Gateway timeout" and "Non-authoritative Information" are kept as written, on purpose:
// clients and scripts of this server match these exact texts.
constexpr ReasonPhrase kReasonPhrases[] = {
    { 200, "OK" },
    { 201, "Created" },
    { 202, "Accepted" },
    { 203, "Non-authoritative Information" },
    { 204, "No Content" },
    { 205, "Reset Content" },
    { 206, "Partial Content" },
    { 301, "Moved Permanently" },
    { 302, "Moved Temporarily" },
    { 303, "See Other" },
    { 304, "Not Modified" },
    { 305, "Use Proxy" },
    { 400, "Bad Request" },
    { 401, "Unauthorized" },
    { 403, "Forbidden" },
    { 404, "Not Found" },
    { 405, "Methode not allowed" },
    { 406, "Not Acceptable" },
    { 407, "Proxy Authentication Required" },
    { 408, "Request Timeout" },
    { 409, "Conflict" },
    { 410, "Gone" },
    { 411, "Length Required" },
    { 412, "Precondition Failed" },
    { 413, "Request Entity To Long" },
    { 414, "Request-URI Too Long" },
    { 415, "Unsupported Media Type" },
    { 416, "Range Not Satisfiable" },
    { 500, "Internal Server Error" },
    { 501, "Not Implemented" },
    { 502, "Bad Gateway" },
    { 503, "Service Unavailable" },
    { 504, "Gateway timeout" },
    { 505, "HTTP version not supported" },
};

} // namespace

THTTPResponseInfo::THTTPResponseInfo(TNetSocket& connection)
    : Connection(connection)
{
    SetResponseCode(200);
}

void THTTPResponseInfo::SetResponseCode(int32_t code)
{
    ResponseCode = code;
    ResponseText = "Unknown Response Code";
    for (const ReasonPhrase& phrase : kReasonPhrases) {
        if (phrase.code == code) {
            ResponseText = phrase.text;
            break;
        }
    }
}

void THTTPResponseInfo::WriteHeader(bool bodyFollows)
{
    if (HeaderWritten)
        throw Exception("Header has already been written.");
    HeaderWritten = true;
    // Entries the handler added keep their place; an empty value leaves its header out.
    Headers.SetValue("Server", ServerSoftware);
    Headers.SetValue("Content-Type", ContentType);
    if (ContentLength >= 0)
        Headers.SetValue("Content-Length", std::to_string(ContentLength));
    if (!AuthRealm.empty()) {
        SetResponseCode(401);
        Headers.SetValue("WWW-Authenticate", "Basic realm=\"" + AuthRealm + "\"");
    }
    for (const auto& cookie : Cookies)
        Headers.Add("Set-Cookie=" + cookie.text);
    // Status line and headers in one send; the bytes are those of a Write and a WriteHeaders.
    Connection.Write(ProtocolVersion + " " + std::to_string(ResponseCode) + " " + ResponseText + "\r\n"
            + Connection.FormatHeaders(Headers),
        bodyFollows);
}

std::string THTTPResponseInfo::ErrorBody() const
{
    return "<B>" + std::to_string(ResponseCode) + " " + ResponseText + "</B><P>" + ContentText;
}

void THTTPResponseInfo::WriteContent()
{
    if (ResponseCode >= 200 && ResponseCode < 500) {
        if (ContentStream) {
            Connection.WriteStream(*ContentStream, false);
        } else if (!ContentText.empty()) {
            Connection.Write(ContentText);
            ContentText.clear();
        }
    } else {
        Connection.WriteLn(ErrorBody());
    }
}
