// One HTTP request, as raw bytes from a client, served by TNetHTTPListener through a socket binding
// over bytes (no socket, nothing to wait for):
// request line, headers, POST body, credentials and cookies reach a handler that reads all of the
// request and answers in one of several ways chosen by the request itself. Besides the sanitizers
// it checks the answer: nothing or one response whose Content-Length matches its body.

#include "common/AnsiText.h"
#include "common/Exception.h"
#include "server/http/HTTPListener.h"
#include "server/socket/BytesBinding.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

namespace {

// Answers stay small, so that every input runs fast.
constexpr std::size_t kMaxAnswerText = 2048;

std::string Bounded(std::string_view text)
{
    return std::string(text.substr(0, kMaxAnswerText));
}

void Handle(THTTPRequestInfo& request, THTTPResponseInfo& response)
{
    // Everything a page handler could look at.
    std::string seen = request.Command + request.ProtocolVersion + request.AuthUsername + request.AuthPassword;
    for (int i = 0; i < request.Params.Count(); ++i)
        seen += request.Params.Names(i) + request.Params.ValueFromIndex(i);
    for (const auto& cookie : request.Cookies)
        seen += cookie;
    seen += request.Headers.Values("Host") + request.Headers.Values("Content-Type");

    // The last character of the document picks the kind of answer.
    const auto mode = request.Document.empty() ? 0 : static_cast<unsigned char>(request.Document.back()) % 8;
    int32_t code = 0;
    if (TryStrToInt(request.Params.Values("code"), code))
        response.SetResponseCode(code);
    if (!request.Cookies.Empty())
        response.Cookies.Add(Bounded(request.Cookies[0]));
    switch (mode) {
    case 0:
        response.ContentText = Bounded(request.Document);
        break;
    case 1: {
        auto page = std::make_unique<TMemoryStream>();
        page->WriteString(Bounded(seen));
        response.ContentStream = std::move(page);
        response.ContentType.clear();
        break;
    }
    case 2:
        response.SetResponseCode(404);
        response.ContentText = "<h2>Not found</h2>";
        break;
    case 3:
        if (request.HasAuthorization)
            response.AuthRealm = "fuzz";
        throw Exception(Bounded(request.RawParams));
    case 4:
        response.AuthRealm = "fuzz";
        response.ContentText = Bounded(request.AuthUsername);
        break;
    case 5: {
        auto page = std::make_unique<TMemoryStream>();
        page->WriteString(Bounded(request.RawParams));
        response.ContentStream = std::move(page);
        response.ContentText = Bounded(seen);
        break;
    }
    case 6:
        break; // no body at all
    default: {
        auto page = std::make_unique<TMemoryStream>();
        page->WriteString(Bounded(request.Document));
        response.ContentStream = std::move(page);
        break;
    }
    }
}

// The answer is empty (a refused request) or one response; a Content-Length it announces is the
// length of the body that follows.
void CheckAnswer(const std::string& answer)
{
    if (answer.empty())
        return;
    if (!answer.starts_with("HTTP/1.0 "))
        std::abort();
    const std::size_t headerEnd = answer.find("\r\n\r\n");
    if (headerEnd == std::string::npos)
        std::abort();
    const std::string_view head(answer.data(), headerEnd + 2);
    const std::string_view body = std::string_view(answer).substr(headerEnd + 4);
    constexpr std::string_view kLength = "\r\nContent-Length: ";
    const std::size_t at = head.find(kLength);
    if (at == std::string_view::npos)
        return;
    const std::size_t from = at + kLength.size();
    const std::string value(head.substr(from, head.find("\r\n", from) - from));
    if (std::to_string(body.size()) != value)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TBytesBinding bytes;
    const TInstalledSocketBinding installed(bytes);
    // The last input byte picks how many bytes each receive gives, so that lines and the body
    // straddle receives at many places.
    const int32_t piece = size == 0 ? 0 : data[size - 1] % 17;
    const TSocket handle = bytes.Open(std::string(reinterpret_cast<const char*>(data), size), piece);
    TNetHTTPListener listener(nullptr);
    listener.BoundIP = "127.0.0.1";
    // Odd-length inputs also see the parameters undecoded.
    listener.ParseParams = size % 2 == 0;
    listener.OnCommandGet
        = [](TNetServerThread&, THTTPRequestInfo& request, THTTPResponseInfo& response) { Handle(request, response); };
    listener.OnCommandOther = [](TNetServerThread&, const std::string&, const std::string&, const std::string&) {};
    {
        auto connection = std::make_unique<TNetServer>(&listener);
        connection->SetSocket(handle);
        TNetServerThread thread(std::move(connection));
        try {
            listener.HandleConnection(thread);
        } catch (const std::exception&) {
            // What a session thread discards: a malformed request is closed unanswered.
        }
        if (thread.Connection()->Connected() || !bytes.Closed(handle))
            std::abort(); // one request per connection, on every path
    }
    CheckAnswer(bytes.Sent(handle));
    return 0;
}
