#pragma once

#include <stdexcept>
#include <string>

// The launcher's own exit statuses, apart from the viewer's; the man page lists them.
enum class ELauncherFailure {
    Damaged = 3, // the payload is missing, truncated or damaged
    FolderRefused = 4, // the runtimes' folder is unsafe or cannot be made
    UnpackFailed = 5, // unpacking stopped: disk full, a write error
    StartFailed = 6, // the unpacked viewer could not be started
};

struct TLauncherError : std::runtime_error {
    TLauncherError(ELauncherFailure kind, const std::string& message)
        : std::runtime_error(message)
        , failure(kind)
    {
    }
    ELauncherFailure failure;
};

// "text: strerror(errno)", for messages about a failed system call.
std::string WithErrno(const std::string& text, int error);
