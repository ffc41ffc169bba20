#include "pageservice/tests/TakenPagePort.h"

#include "pageservice/PagePorts.h"
#include "pageservice/PageService.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

TTakenPagePort::TTakenPagePort()
{
    int32_t port = RandomPagePort();
    for (int32_t attempt = 0; attempt < kPagePortCount; ++attempt, port = NextPagePort(port)) {
        const int candidate = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(candidate, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
            && ::listen(candidate, 1) == 0) {
            socket_ = candidate;
            port_ = port;
            return;
        }
        ::close(candidate);
    }
}

TTakenPagePort::~TTakenPagePort()
{
    if (socket_ >= 0)
        ::close(socket_);
}
