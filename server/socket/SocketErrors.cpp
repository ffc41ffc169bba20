#include "server/socket/SocketErrors.h"

std::string SocketErrorTextFor(int32_t code)
{
    std::string result = "Socket Error #" + std::to_string(code) + "\r\n";
    for (const TSocketError& entry : kSocketErrors) {
        if (entry.code == code) {
            result += entry.text;
            break;
        }
    }
    return result;
}
