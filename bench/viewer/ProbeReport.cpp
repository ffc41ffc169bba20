#include "bench/viewer/ProbeReport.h"

#include <dirent.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <vector>

namespace {

int ParentOf(int pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    // The command name may hold blanks; the fields after its closing parenthesis do not.
    const auto close = line.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream rest(line.substr(close + 2));
    char state = 0;
    int parent = -1;
    rest >> state >> parent;
    return parent;
}

int64_t ResidentKiB(int pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            int64_t kib = 0;
            status >> kib;
            return kib;
        }
        status.ignore(4096, '\n');
    }
    return 0;
}

} // namespace

int64_t ResidentKiBWithChildren(int pid)
{
    std::multimap<int, int> children;
    if (DIR* proc = ::opendir("/proc")) {
        while (const dirent* entry = ::readdir(proc)) {
            const int candidate = std::atoi(entry->d_name);
            if (candidate > 0)
                children.emplace(ParentOf(candidate), candidate);
        }
        ::closedir(proc);
    }
    int64_t total = 0;
    std::vector<int> pending { pid };
    while (!pending.empty()) {
        const int next = pending.back();
        pending.pop_back();
        total += ResidentKiB(next);
        const auto [first, last] = children.equal_range(next);
        for (auto it = first; it != last; ++it)
            pending.push_back(it->second);
    }
    return total;
}

void Report(const std::string& name, double value)
{
    std::cout << name << ' ' << value << std::endl;
}
