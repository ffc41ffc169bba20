#include "pageservice/RequestScreen.h"

#include "common/AnsiText.h"
#include "common/PackedStringList.h"

#include <algorithm>

void TRequestScreen::AllowHost(std::string name)
{
    hosts_.push_back(std::move(name));
}

bool TRequestScreen::IsOwnHost(std::string_view hostAndPort, int32_t port) const
{
    // Without a port the browser means the scheme's own, 80.
    const std::size_t colon = hostAndPort.rfind(':');
    const std::string_view host = hostAndPort.substr(0, colon);
    const std::string_view portText
        = colon == std::string_view::npos ? std::string_view("80") : hostAndPort.substr(colon + 1);
    if (portText != std::to_string(port))
        return false;
    return std::any_of(hosts_.begin(), hosts_.end(), [&](const std::string& own) { return AnsiSameText(host, own); });
}

bool TRequestScreen::Refuses(const TPackedStringList& headers, int32_t port) const
{
    if (headers.IndexOfName("Host") >= 0 && !IsOwnHost(headers.Values("Host"), port))
        return true;
    if (headers.IndexOfName("Origin") >= 0) {
        constexpr std::string_view kScheme = "http://";
        const std::string origin = headers.Values("Origin");
        if (!origin.starts_with(kScheme) || !IsOwnHost(std::string_view(origin).substr(kScheme.size()), port))
            return true;
    }
    const std::string site = headers.Values("Sec-Fetch-Site");
    return AnsiSameText(site, "cross-site") || AnsiSameText(site, "same-site");
}
