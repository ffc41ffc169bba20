#include "ListenerSwitch.h"

#include "HTTPListener.h"
#include "NetExceptions.h"

#include <string_view>

namespace {

constexpr int32_t kFirstPagePort = 11111;
constexpr int32_t kPagePortCount = 1000;
// The bind error's text, the one way the socket layer tells a taken port from other failures.
constexpr std::string_view kPortTakenText = "Could not bind socket. Address and port are already in use.";

} // namespace

void SwitchOnAtFreePagePort(TNetHTTPListener& listener)
{
    for (int32_t attempt = 1;; ++attempt) {
        try {
            listener.SetActive(true);
            return;
        } catch (const ENetException& error) {
            if (error.Message() != kPortTakenText || attempt == kPagePortCount)
                throw;
        }
        const int32_t offset = (listener.Port - kFirstPagePort + 1) % kPagePortCount;
        listener.Port = kFirstPagePort + (offset < 0 ? offset + kPagePortCount : offset);
    }
}
