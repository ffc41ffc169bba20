#include "PagePorts.h"

#include "NetExceptions.h"
#include "NetListener.h"

int32_t NextPagePort(int32_t port)
{
    const int32_t offset = port - kFirstPagePort + 1;
    return kFirstPagePort + (offset < 0 || offset >= kPagePortCount ? 0 : offset);
}

void SwitchOnAtFreePagePort(TNetListener& listener)
{
    for (int32_t attempt = 1;; ++attempt) {
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
