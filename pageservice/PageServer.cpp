#include "PageServer.h"

#include "HTTPListener.h"
#include "OpenedBook.h"
#include "PagePorts.h"
#include "PageService.h"

TPageServer::TPageServer(const std::string& bookFile, const TPageServerLimits& limits)
    : bookStream_(OpenBookStream(bookFile))
    , pages_(reader_, limits.memoryBytes, limits.cacheBytes)
    , listener_(std::make_unique<TNetHTTPListener>(nullptr))
{
    reader_.LoadFromStream(*bookStream_);
    listener_->BoundIP = std::string(kPageServerAddress);
    listener_->Port = RandomPagePort();
    ApplyPageServerLimits(limits, *listener_);
    listener_->OnCommandGet = [this](TNetServerThread&, THTTPRequestInfo& request, THTTPResponseInfo& response) {
        AnswerPageRequest(pages_, request, response);
    };
}

TPageServer::~TPageServer()
{
    pages_.Stop();
}

void TPageServer::SetAddress(const std::string& address)
{
    listener_->BoundIP = address;
}

void TPageServer::SetPort(int32_t port)
{
    listener_->Port = port;
}

void TPageServer::SwitchOn()
{
    if (!listener_->Active())
        SwitchOnAtFreePagePort(*listener_);
}

void TPageServer::SwitchOnAtPort()
{
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
