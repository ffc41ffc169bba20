#include "sources/SafePath.h"

#include <algorithm>

namespace fs = std::filesystem;

std::optional<fs::path> PagePathBelow(std::string_view pageName)
{
    std::string_view rest = pageName;
    if (rest.starts_with('/'))
        rest.remove_prefix(1);
    if (rest.empty() || rest.find('\0') != std::string_view::npos || rest.find('\\') != std::string_view::npos)
        return std::nullopt;
    fs::path path;
    std::size_t start = 0;
    while (start <= rest.size()) {
        const std::size_t slash = std::min(rest.find('/', start), rest.size());
        const std::string_view part = rest.substr(start, slash - start);
        if (part.empty() || part == "." || part == "..")
            return std::nullopt;
        path /= fs::path(std::string(part));
        start = slash + 1;
    }
    return path;
}

bool StaysInside(const fs::path& folder, const fs::path& path)
{
    std::error_code error;
    const fs::path base = fs::weakly_canonical(folder, error);
    if (error)
        return false;
    const fs::path resolved = fs::weakly_canonical(path, error);
    if (error)
        return false;
    const auto [baseEnd, resolvedAt] = std::mismatch(base.begin(), base.end(), resolved.begin(), resolved.end());
    return baseEnd == base.end() && resolvedAt != resolved.end();
}
