#include "pageservice/PagePorts.h"

#include "server/listener/NetListener.h"
#include "server/socket/NetExceptions.h"

int32_t NextPagePort(int32_t port)
{
    const int32_t offset = port - kFirstPagePort + 1;
    return kFirstPagePort + (offset < 0 || offset >= kPagePortCount ? 0 : offset);
}

void SwitchOnAtFreePagePort(TNetListener& listener, const std::function<void(int32_t port)>& beforeTry)
{
    for (int32_t attempt = 1;; ++attempt) {
        if (beforeTry)
            beforeTry(listener.Port);
        try {
            listener.SetActive(true);
            return;
        } catch (const ENetAddressInUse&) {
            if (attempt == kPagePortCount)
                throw;
        }
        listener.Port = NextPagePort(listener.Port);
    }
}
