#include "pageservice/PageServer.h"

#include "book/OpenedBook.h"
#include "pageservice/PagePorts.h"
#include "pageservice/PageService.h"
#include "pageservice/WebAnswerPolicy.h"
#include "server/http/HTTPListener.h"

#include <sys/stat.h>

namespace {

// The file's modification time in seconds since the epoch; 0 when it cannot be told.
int64_t ModifiedTimeOf(const std::string& fileName)
{
    struct stat status { };
    return ::stat(fileName.c_str(), &status) == 0 ? static_cast<int64_t>(status.st_mtime) : 0;
}

} // namespace

TPageServer::TPageServer(const std::string& bookFile, const TPageServerLimits& limits)
    : bookStream_(OpenBookStream(bookFile))
    , pages_(reader_, limits.memoryBytes, limits.cacheBytes)
    , source_(&pages_)
    , bookModified_(ModifiedTimeOf(bookFile))
    , listener_(std::make_unique<TNetHTTPListener>(nullptr))
{
    reader_.LoadFromStream(*bookStream_);
    Configure(limits);
}

TPageServer::TPageServer(TPageSource& source, const TPageServerLimits& limits)
    : pages_(reader_, limits.memoryBytes, limits.cacheBytes)
    , source_(&source)
    , listener_(std::make_unique<TNetHTTPListener>(nullptr))
{
    Configure(limits);
}

void TPageServer::Configure(const TPageServerLimits& limits)
{
    listener_->BoundIP = std::string(kPageServerAddress);
    listener_->Port = RandomPagePort();
    ApplyPageServerLimits(limits, *listener_);
    // Every answer, the refusal and the failure included, goes out through the policy.
    listener_->OnCheckRequest
        = [this](TNetServerThread&, const THTTPRequestInfo& request, THTTPResponseInfo& response) {
              if (!screen_.Refuses(request.Headers, servedPort_.load(std::memory_order_relaxed)))
                  return true;
              answers_->Write(request, TextAnswer(403, std::string(kRequestRefusedText)), response);
              return false;
          };
    listener_->OnCommandGet = [this](TNetServerThread&, THTTPRequestInfo& request, THTTPResponseInfo& response) {
        std::optional<TAnswer> answer;
        if (answerFirst_)
            answer = answerFirst_(request);
        if (!answer) {
            answer = AnswerPageRequest(*source_, request);
            if (answer->code == 200 && answer->lastModified == 0)
                answer->lastModified = pagesModified_;
        }
        answers_->Write(request, std::move(*answer), response);
    };
    listener_->OnCommandError
        = [this](TNetServerThread&, const THTTPRequestInfo& request, const std::exception& error,
              THTTPResponseInfo& response) { answers_->Write(request, TextAnswer(500, error.what()), response); };
}

TPageServer::~TPageServer()
{
    pages_.Stop();
}

void TPageServer::ServeTheWeb(const TWebServing& serving)
{
    answers_ = std::make_shared<const TWebAnswerPolicy>();
    listener_->PersistentConnections = true;
    listener_->KeepAliveIdle = serving.keepAliveIdle;
    listener_->MaxRequestsPerConnection = serving.maxRequestsPerConnection;
    pages_.KeepStoredBytes(true);
    pagesModified_ = bookModified_;
}

void TPageServer::SetAddress(const std::string& address)
{
    listener_->BoundIP = address;
    screen_.AllowHost(address);
}

void TPageServer::AllowHost(std::string name)
{
    screen_.AllowHost(std::move(name));
}

void TPageServer::SetPort(int32_t port)
{
    listener_->Port = port;
}

void TPageServer::SwitchOn()
{
    if (listener_->Active())
        return;
    SwitchOnAtFreePagePort(*listener_, [this](int32_t port) { servedPort_.store(port); });
}

void TPageServer::SwitchOnAtPort()
{
    servedPort_.store(listener_->Port);
    listener_->SetActive(true);
}

void TPageServer::SwitchOff()
{
    listener_->SetActive(false);
}

void TPageServer::Stop()
{
    pages_.Stop();
}

bool TPageServer::Active() const
{
    return listener_->Active();
}

int32_t TPageServer::Port() const
{
    return listener_->Port;
}

const std::string& TPageServer::Address() const
{
    return listener_->BoundIP;
}

std::string TPageServer::PageURL(std::string_view pageName) const
{
    return ::PageURL(listener_->BoundIP, listener_->Port, pageName);
}
