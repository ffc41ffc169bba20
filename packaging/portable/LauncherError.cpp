#include "packaging/portable/LauncherError.h"

#include <cstring>

std::string WithErrno(const std::string& text, int error)
{
    return text + ": " + std::strerror(error);
}
