#include "tools/packtool/ServeAddress.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <unistd.h>

std::string ReachableHost(const std::string& boundAddress)
{
    if (boundAddress != "0.0.0.0")
        return boundAddress;
    std::string found;
    ifaddrs* addresses = nullptr;
    if (::getifaddrs(&addresses) == 0) {
        for (const ifaddrs* at = addresses; at != nullptr && found.empty(); at = at->ifa_next) {
            if (at->ifa_addr == nullptr || at->ifa_addr->sa_family != AF_INET || (at->ifa_flags & IFF_LOOPBACK) != 0
                || (at->ifa_flags & IFF_UP) == 0)
                continue;
            char text[INET_ADDRSTRLEN] = {};
            if (::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(at->ifa_addr)->sin_addr, text, sizeof text))
                found = text;
        }
        ::freeifaddrs(addresses);
    }
    if (!found.empty())
        return found;
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) == 0 && host[0] != '\0')
        return host;
    return boundAddress;
}
