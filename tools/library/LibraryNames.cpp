#include "tools/library/LibraryNames.h"

#include "common/StableHash.h"

#include <algorithm>
#include <cstdint>
#include <set>

namespace {

bool IsNameCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
}

std::string HashSuffix(std::string_view text)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    const uint32_t hash = StableHash32(text);
    std::string suffix = "-";
    for (int shift = 20; shift >= 0; shift -= 4)
        suffix += kDigits[(hash >> shift) & 0xF];
    return suffix;
}

} // namespace

std::string BaseLibraryName(std::string_view path)
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    std::string_view file = path.substr(path.rfind('/') == std::string_view::npos ? 0 : path.rfind('/') + 1);
    if (const std::size_t dot = file.rfind('.'); dot != std::string_view::npos && dot > 0)
        file = file.substr(0, dot);
    std::string name;
    for (const char written : file) {
        const char c = written >= 'A' && written <= 'Z' ? static_cast<char>(written - 'A' + 'a') : written;
        if (IsNameCharacter(c))
            name += c;
        else if (!name.empty() && name.back() != '-')
            name += '-';
    }
    const std::size_t start = name.find_first_not_of(".-");
    name = start == std::string::npos ? std::string() : name.substr(start);
    while (!name.empty() && name.back() == '-')
        name.pop_back();
    return name.empty() ? "book" : name;
}

std::map<std::string, std::string> LibraryNames(const std::vector<std::string>& paths)
{
    std::vector<std::string> sorted = paths;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    std::map<std::string, std::string> names;
    std::set<std::string> bases;
    for (const std::string& path : sorted)
        bases.insert(BaseLibraryName(path));
    std::set<std::string> taken;
    // First every base name for the path that sorts first, so a suffixed name never takes a base
    // name that another path owns.
    for (const std::string& path : sorted) {
        const std::string base = BaseLibraryName(path);
        if (taken.insert(base).second)
            names[path] = base;
    }
    for (const std::string& path : sorted) {
        if (names.contains(path))
            continue;
        const std::string base = BaseLibraryName(path);
        std::string name = base + HashSuffix(path);
        for (int count = 1; taken.contains(name) || bases.contains(name); ++count)
            name = base + HashSuffix(path + "\n" + std::to_string(count));
        taken.insert(name);
        names[path] = name;
    }
    return names;
}
