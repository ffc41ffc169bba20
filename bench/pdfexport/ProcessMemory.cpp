#include "bench/pdfexport/ProcessMemory.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// A "VmRSS:"-like line of the process's status, in bytes.
int64_t StatusBytes(const std::string& pid, const std::string& key)
{
    std::ifstream status("/proc/" + pid + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0)
            return std::stoll(line.substr(key.size())) * 1024;
    }
    return 0;
}

int64_t ResidentBytesOf(const std::string& pid)
{
    return StatusBytes(pid, "VmRSS:");
}

// Children are listed by the thread that started them.
std::vector<std::string> ChildrenOf(const std::string& pid)
{
    std::vector<std::string> children;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + pid + "/task", error)) {
        std::ifstream list(task.path() / "children");
        std::string child;
        while (list >> child)
            children.push_back(child);
    }
    return children;
}

} // namespace

int64_t OwnResidentBytes()
{
    return ResidentBytesOf(std::to_string(getpid()));
}

int64_t OwnPeakResidentBytes()
{
    return StatusBytes(std::to_string(getpid()), "VmHWM:");
}

int64_t FamilyResidentBytes()
{
    int64_t total = 0;
    std::vector<std::string> pending { std::to_string(getpid()) };
    while (!pending.empty()) {
        const std::string pid = pending.back();
        pending.pop_back();
        total += ResidentBytesOf(pid);
        for (const std::string& child : ChildrenOf(pid))
            pending.push_back(child);
    }
    return total;
}
