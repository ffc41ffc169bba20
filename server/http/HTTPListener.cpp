#include "server/http/HTTPListener.h"

#include "common/AnsiText.h"
#include "server/http/ConnectionReuse.h"
#include "server/http/HTTPDecoders.h"
#include "server/http/HTTPRequestParsing.h"

namespace {

// Closes the connection when the request is over, however it ends: one request per connection.
// After an answer the close lingers until the client has it (see DisconnectAfterAnswer); without
// one there is nothing to protect and the connection is closed at once.
class DisconnectAtEnd {
public:
    explicit DisconnectAtEnd(TNetServer& connection)
        : connection_(connection)
    {
    }
    ~DisconnectAtEnd()
    {
        if (keepOpen_)
            return;
        if (answered_)
            connection_.DisconnectAfterAnswer(TNetHTTPListener::kAnswerLinger);
        else
            connection_.Disconnect();
    }
    DisconnectAtEnd(const DisconnectAtEnd&) = delete;
    DisconnectAtEnd& operator=(const DisconnectAtEnd&) = delete;

    void SetAnswered(bool answered) { answered_ = answered; }
    void SetKeepOpen(bool keepOpen) { keepOpen_ = keepOpen; }

private:
    TNetServer& connection_;
    bool answered_ = false;
    bool keepOpen_ = false;
};

int32_t ContentLengthOf(const TPackedStringList& headers)
{
    const std::string text = headers.Values("Content-Length");
    const int32_t length = StrToInt(text);
    // A negative count cannot be read; the request is refused before anything is.
    if (length < 0)
        throw EConvertError("'" + text + "' is not a valid content length");
    return length;
}

} // namespace

TNetHTTPListener::TNetHTTPListener(TComponent* owner)
    : TNetListener(owner)
{
    Port = 80;
}

TNetHTTPListener::~TNetHTTPListener()
{
    // The sessions use this class's members: they end before those go.
    Shutdown();
}

bool TNetHTTPListener::HandleConnection(TNetServerThread& thread)
{
    const bool executed = TNetListener::HandleConnection(thread);
    TNetServer& connection = *thread.Connection();
    DisconnectAtEnd disconnect(connection);
    if (executed)
        return executed;
    // A persistent connection waits for its next request a while, and is closed when none comes.
    if (PersistentConnections && connection.RequestsAnswered > 0 && !connection.AwaitInput(KeepAliveIdle))
        return executed;
    const Served served = ServeRequest(thread);
    disconnect.SetAnswered(served.answered);
    const bool keepOpen = served.keepOpen && connection.Connected();
    disconnect.SetKeepOpen(keepOpen);
    // True asks the session for another round on the open connection: the next request.
    return keepOpen;
}

bool TNetHTTPListener::PrepareReuse(TNetServer& connection, const std::string& version, const THTTPRequestInfo& request,
    THTTPResponseInfo& response) const
{
    if (!PersistentConnections)
        return false;
    ++connection.RequestsAnswered;
    const bool http11 = SpeaksHttp11(version);
    response.ProtocolVersion = http11 ? "HTTP/1.1" : "HTTP/1.0";
    response.SendBody = request.Command != "HEAD";
    const bool capped = MaxRequestsPerConnection > 0 && connection.RequestsAnswered >= MaxRequestsPerConnection;
    return http11 && !capped && !HeaderHasToken(request.Headers, "Connection", "close")
        && !LeavesBodyUnread(request.Command, request.Headers);
}

TNetHTTPListener::Served TNetHTTPListener::ServeRequest(TNetServerThread& thread)
{
    TNetServer& connection = *thread.Connection();
    std::string method;
    std::string target;
    std::string version;
    SplitRequestLine(connection.ReadLn(MaxRequestLine), method, target, version);

    const bool forGet = method == "GET" || method == "POST" || method == "HEAD";
    if (!forGet || !OnCommandGet) {
        // Neither headers nor body are read, and the listener answers nothing.
        if (OnCommandOther)
            OnCommandOther(thread, method, target, version);
        return {};
    }

    THTTPRequestInfo request;
    request.Command = method;
    request.ProtocolVersion = version;
    request.RemoteIP = connection.PeerIP();
    connection.ReadHeaders(request.Headers, MaxHeaderBytes);

    THTTPResponseInfo response(connection);
    if (!Trim(ServerSoftware).empty())
        response.ServerSoftware = ServerSoftware;
    const bool reusable = PrepareReuse(connection, version, request, response);
    if (OnCheckRequest && !OnCheckRequest(thread, request, response)) {
        // What the refused request still sends is not read: the connection cannot serve another.
        const bool noBody = request.Command != "POST" && reusable;
        SendResponse(response, noBody);
        return { true, noBody };
    }
    ReadRequest(connection, std::move(target), request);
    try {
        OnCommandGet(thread, request, response);
    } catch (const std::exception& e) {
        // A failing handler is answered, not dropped: 500 with its message, unless the server
        // answers failures itself.
        if (OnCommandError) {
            OnCommandError(thread, request, e, response);
        } else {
            response.SetResponseCode(500);
            response.ContentText = e.what();
        }
    }
    SendResponse(response, reusable);
    return { true, reusable };
}

void TNetHTTPListener::ReadRequest(TNetServer& connection, std::string target, THTTPRequestInfo& request)
{
    if (request.Command == "POST") {
        const int32_t length = ContentLengthOf(request.Headers);
        if (MaxContentLength > 0 && length > MaxContentLength)
            throw ENetLimitExceeded("Request body too long.");
        request.RawParams = connection.ReadString(length);
        request.Document = std::move(target);
    } else {
        // The target's own storage becomes the document, so a long target is not held twice.
        const size_t question = target.find('?');
        if (question != std::string::npos) {
            request.RawParams = target.substr(question + 1);
            target.resize(question);
        }
        request.Document = std::move(target);
    }
    if (ParseParams)
        DecodeParams(request.RawParams, request.Params);
    ExtractCookies(request.Headers, request.Cookies);

    const std::string authorization = request.Headers.Values("Authorization");
    request.HasAuthorization = !authorization.empty();
    if (request.HasAuthorization) {
        const size_t blank = authorization.find(' ');
        const std::string scheme = authorization.substr(0, blank);
        if (!AnsiSameText(scheme, "Basic"))
            throw Exception("Unsupported authorization scheme.");
        const std::string credentials = blank == std::string::npos ? std::string() : authorization.substr(blank + 1);
        const std::string decoded = TNetDecoder::Decode(credentials);
        const size_t colon = decoded.find(':');
        request.AuthUsername = decoded.substr(0, colon);
        request.AuthPassword = colon == std::string::npos ? std::string() : decoded.substr(colon + 1);
    }
}

void TNetHTTPListener::SendResponse(THTTPResponseInfo& response, bool keepOpen) const
{
    // A handler that set both a text and a stream gets the text as the body: Content-Length and
    // the bytes sent must describe the same thing, and the text is the explicit choice of the two.
    if (!response.ContentText.empty())
        response.ContentStream.reset();

    if (!response.HeaderWritten) {
        const bool hasBody = !response.ContentText.empty() || response.ContentStream;
        // The body is sized for the code that goes out: a realm turns any code into 401 while the
        // header is written, and WriteContent then sends the text or stream, not an error body.
        const int32_t sentCode = response.AuthRealm.empty() ? response.ResponseCode : 401;
        if (sentCode >= 200 && sentCode < 500) {
            if (!response.ContentText.empty())
                response.ContentLength = static_cast<int64_t>(response.ContentText.size());
            else if (response.ContentStream)
                response.ContentLength = response.ContentStream->Size();
        } else if (hasBody) {
            response.ContentLength
                = static_cast<int64_t>(response.ErrorBody().size() + response.Connection.LineEnd.size());
        }
        if (PersistentConnections) {
            // The length is how the client finds the answer's end on an open connection; answers
            // that have no body by definition carry neither.
            const bool bodiless = sentCode < 200 || sentCode == 204 || sentCode == 304;
            if (bodiless) {
                response.SendBody = false;
                response.ContentLength = -1;
            } else if (response.ContentLength < 0) {
                response.ContentLength = 0;
            }
            if (!keepOpen)
                response.Headers.SetValue("Connection", "close");
        }
        // The header waits for the body's first piece, so that a small answer leaves in one
        // segment; the body's last write sends whatever is held.
        const bool errorBody = sentCode < 200 || sentCode >= 500;
        const bool bodyBytesFollow = response.SendBody && hasBody
            && (errorBody || !response.ContentText.empty() || response.ContentStream->Size() > 0);
        response.WriteHeader(bodyBytesFollow);
    }

    if (!response.SendBody) {
        // A HEAD, a 304: the header was all.
    } else if (!response.ContentText.empty()) {
        response.WriteContent();
    } else if (response.ContentStream) {
        response.ContentStream->SetPosition(0);
        response.WriteContent();
    }
    // The listener owns every stream a handler hands over; the response frees it with itself
    // too, when writing fails.
    response.ContentStream.reset();
}
