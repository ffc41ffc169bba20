#include "server/listener/ActivityClock.h"

#include <chrono>

double NowDateTime()
{
    using namespace std::chrono;
    constexpr double kUnixEpochAsDateTime = 25569.0; // 1 January 1970
    const double seconds = duration<double>(system_clock::now().time_since_epoch()).count();
    return kUnixEpochAsDateTime + seconds / 86400.0;
}
