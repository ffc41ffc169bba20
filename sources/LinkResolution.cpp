#include "sources/LinkResolution.h"

#include "common/AnsiText.h"
#include "common/PercentDecoding.h"

#include <algorithm>
#include <cctype>
#include <vector>

bool HasUrlScheme(std::string_view link)
{
    for (std::size_t i = 0; i < link.size(); ++i) {
        const auto c = static_cast<unsigned char>(link[i]);
        if (c == ':')
            return i > 0;
        if (!(std::isalpha(c) || (i > 0 && (std::isdigit(c) || c == '+' || c == '-' || c == '.'))))
            return false;
    }
    return false;
}

std::optional<std::string> ResolveLinkPath(std::string_view base, std::string_view path)
{
    if (path.empty())
        return std::string(base);
    std::string joined(path);
    std::replace(joined.begin(), joined.end(), '\\', '/');
    if (!joined.starts_with('/'))
        joined = std::string(base.substr(0, base.rfind('/') + 1)) + joined;
    if (!joined.starts_with('/'))
        joined.insert(0, 1, '/');
    std::vector<std::string_view> steps;
    const std::string_view whole = joined;
    std::size_t at = 1;
    while (at <= whole.size()) {
        const std::size_t slash = std::min(whole.find('/', at), whole.size());
        const std::string_view step = whole.substr(at, slash - at);
        const bool last = slash == whole.size();
        if (step == "..") {
            if (steps.empty())
                return std::nullopt;
            steps.pop_back();
            if (last)
                steps.emplace_back();
        } else if (step == ".") {
            if (last)
                steps.emplace_back();
        } else {
            steps.push_back(step);
        }
        at = slash + 1;
    }
    std::string resolved;
    for (const std::string_view step : steps) {
        resolved += '/';
        resolved += step;
    }
    return resolved.empty() ? "/" : resolved;
}

std::optional<TPagePlace> ResolvePageLink(const std::string& base, const std::string& href)
{
    const std::string link = Trim(href);
    if (link.empty() || link == "#" || link.starts_with("//") || HasUrlScheme(link))
        return std::nullopt;
    TPagePlace place;
    std::string_view path = link;
    if (const std::size_t hash = path.find('#'); hash != std::string_view::npos) {
        place.anchor = PercentDecodePath(path.substr(hash + 1));
        path = path.substr(0, hash);
    }
    if (const std::size_t query = path.find('?'); query != std::string_view::npos)
        path = path.substr(0, query);
    // The link's own escapes are decoded, not the base's: a page name is stored decoded.
    const auto resolved = ResolveLinkPath(base, PercentDecodePath(path));
    if (!resolved)
        return std::nullopt;
    std::unique_copy(resolved->begin(), resolved->end(), std::back_inserter(place.page),
        [](char a, char b) { return a == '/' && b == '/'; });
    return place;
}
