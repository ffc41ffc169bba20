#include "NetServer.h"

#include "ActivityClock.h"
#include "NetListener.h"

void TNetServer::Disconnect()
{
    PeerPort.store(0);
    TNetSocket::Disconnect();
}

std::string TNetServer::ReadString(int32_t count)
{
    LastActivity.store(NowDateTime());
    return TNetSocket::ReadString(count);
}

TNetListener& TNetServer::Listener() const
{
    auto* listener = dynamic_cast<TNetListener*>(Owner());
    if (!listener)
        throw EInvalidCast();
    return *listener;
}
