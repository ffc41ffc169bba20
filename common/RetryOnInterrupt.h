#pragma once

#include <cerrno>

// Runs call() again for as long as it fails because a signal interrupted it (a negative result with
// errno EINTR), and returns its first other result. Every system call that can be interrupted goes
// through here, so that a signal delivered to the process never reads as a failure.
template <class Call> auto RetryOnInterrupt(Call call)
{
    auto result = call();
    while (result < 0 && errno == EINTR)
        result = call();
    return result;
}
