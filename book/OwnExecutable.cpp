#include "book/OwnExecutable.h"

#include <filesystem>
#include <system_error>

std::string OwnExecutableFileName()
{
    std::error_code error;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string("/proc/self/exe") : path.string();
}
