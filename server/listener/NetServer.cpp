#include "server/listener/NetServer.h"

#include "server/listener/ActivityClock.h"
#include "server/listener/NetListener.h"

void TNetServer::Disconnect()
{
    PeerPort.store(0);
    TNetSocket::Disconnect();
}

std::string TNetServer::ReadString(int32_t count)
{
    MarkActive();
    return TNetSocket::ReadString(count);
}

void TNetServer::MarkActive(std::chrono::steady_clock::time_point when)
{
    using namespace std::chrono;
    const auto now = steady_clock::now();
    lastActiveSteady_.store(when.time_since_epoch().count());
    LastActivity.store(NowDateTime() - duration<double>(now - when).count() / 86400.0);
}

std::chrono::steady_clock::duration TNetServer::IdleTime() const
{
    using namespace std::chrono;
    return steady_clock::now().time_since_epoch() - steady_clock::duration(lastActiveSteady_.load());
}

TNetListener& TNetServer::Listener() const
{
    auto* listener = dynamic_cast<TNetListener*>(Owner());
    if (!listener)
        throw EInvalidCast();
    return *listener;
}
