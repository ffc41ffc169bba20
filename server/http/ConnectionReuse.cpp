#include "server/http/ConnectionReuse.h"

#include "common/AnsiText.h"

#include <string>

bool SpeaksHttp11(std::string_view version)
{
    constexpr std::string_view prefix = "HTTP/1.";
    if (version.size() <= prefix.size() || !AnsiSameText(version.substr(0, prefix.size()), prefix))
        return false;
    const std::string_view minor = version.substr(prefix.size());
    for (char c : minor) {
        if (c < '0' || c > '9')
            return false;
    }
    return minor.find_first_not_of('0') != std::string_view::npos;
}

bool HeaderHasToken(const TPackedStringList& headers, std::string_view name, std::string_view token)
{
    const std::string text = headers.Values(name);
    std::string_view value = text;
    while (!value.empty()) {
        const size_t comma = value.find(',');
        const std::string_view item = TrimSpacesAndTabs(value.substr(0, comma));
        if (AnsiSameText(item, token))
            return true;
        if (comma == std::string_view::npos)
            break;
        value.remove_prefix(comma + 1);
    }
    return false;
}

bool LeavesBodyUnread(std::string_view method, const TPackedStringList& headers)
{
    if (!headers.Values("Transfer-Encoding").empty())
        return true;
    if (method == "POST")
        return false;
    const std::string length = std::string(TrimSpacesAndTabs(headers.Values("Content-Length")));
    return !length.empty() && length.find_first_not_of('0') != std::string::npos;
}
