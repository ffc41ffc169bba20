#include "book/OwnExecutable.h"

#include <filesystem>
#include <system_error>
#include <utility>

namespace {

std::string& NamedOwnFile()
{
    static std::string named;
    return named;
}

} // namespace

void SetOwnExecutableFileName(std::string fileName)
{
    NamedOwnFile() = std::move(fileName);
}

std::string OwnExecutableFileName()
{
    if (!NamedOwnFile().empty())
        return NamedOwnFile();
    std::error_code error;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string("/proc/self/exe") : path.string();
}
