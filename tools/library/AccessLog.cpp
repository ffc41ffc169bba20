#include "tools/library/AccessLog.h"

#include "common/AnsiText.h"
#include "server/http/HTTPRequestInfo.h"

#include <ctime>
#include <string>

namespace {

std::string_view HeaderValue(const THTTPRequestInfo& request, std::string_view name)
{
    for (const std::string_view entry : request.Headers) {
        const std::size_t end = entry.find_first_of("=:");
        if (end != std::string_view::npos && AnsiSameText(entry.substr(0, end), name)) {
            std::string_view value = entry.substr(end + 1);
            while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
                value.remove_prefix(1);
            return value;
        }
    }
    return {};
}

std::string ClientAddress(const THTTPRequestInfo& request)
{
    // A proxy on this machine names the reader it forwards; from anyone else those headers are
    // only a claim, and the connection's own address is written.
    const bool fromProxyHere = request.RemoteIP.starts_with("127.") || request.RemoteIP == "::1";
    std::string_view forwarded;
    if (fromProxyHere) {
        forwarded = HeaderValue(request, "X-Forwarded-For");
        forwarded = forwarded.substr(0, forwarded.find(','));
        if (forwarded.empty())
            forwarded = HeaderValue(request, "X-Real-IP");
    }
    if (forwarded.empty())
        forwarded = request.RemoteIP;
    std::string address;
    for (const char c : forwarded)
        if (std::isxdigit(static_cast<unsigned char>(c)) != 0 || c == '.' || c == ':')
            address += c;
    return address.empty() ? "-" : address;
}

// Bytes a terminal or a log reader could take for something else are written as \xHH.
std::string Printable(std::string_view text)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string printable;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F || c == '"' || c == '\\')
            printable += std::string("\\x") + kDigits[byte >> 4] + kDigits[byte & 0xF];
        else
            printable += c;
    }
    return printable;
}

} // namespace

int64_t BodyBytes(const TAnswer& answer)
{
    if (answer.file)
        return answer.file->size;
    if (answer.page)
        return static_cast<int64_t>(answer.page->size());
    return static_cast<int64_t>(answer.text.size());
}

TAccessLog::TAccessLog(std::ostream& out)
    : out_(out)
{
}

void TAccessLog::Write(const THTTPRequestInfo& request, const TAnswer& answer, std::string_view book)
{
    const std::time_t now = std::time(nullptr);
    std::tm utc {};
    ::gmtime_r(&now, &utc);
    char when[40];
    std::strftime(when, sizeof when, "[%d/%b/%Y:%H:%M:%S +0000]", &utc);
    std::string target = request.Document;
    if (!request.RawParams.empty() && request.Command != "POST")
        target += "?" + request.RawParams;
    std::string line = ClientAddress(request) + " - - " + when + " \"" + Printable(request.Command) + " "
        + Printable(target) + " " + Printable(request.ProtocolVersion) + "\" " + std::to_string(answer.code) + " "
        + std::to_string(BodyBytes(answer)) + " \"" + Printable(book) + "\"\n";
    const std::lock_guard<std::mutex> guard(lock_);
    out_ << line << std::flush;
}
