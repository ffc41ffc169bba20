#include "pageservice/PageServer.h"

#include "book/OpenedBook.h"
#include "pageservice/PagePorts.h"
#include "pageservice/PageService.h"
#include "server/http/HTTPListener.h"

TPageServer::TPageServer(const std::string& bookFile, const TPageServerLimits& limits)
    : bookStream_(OpenBookStream(bookFile))
    , pages_(reader_, limits.memoryBytes, limits.cacheBytes)
    , source_(&pages_)
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
        answers_->Write(request, answer ? std::move(*answer) : AnswerPageRequest(*source_, request), response);
    };
    listener_->OnCommandError
        = [this](TNetServerThread&, const THTTPRequestInfo& request, const std::exception& error,
              THTTPResponseInfo& response) { answers_->Write(request, TextAnswer(500, error.what()), response); };
}

TPageServer::~TPageServer()
{
    pages_.Stop();
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
