#include "pageservice/RequestScreen.h"

#include "common/AnsiText.h"
#include "common/PackedStringList.h"

#include <algorithm>
#include <arpa/inet.h>
#include <charconv>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <optional>
#include <unistd.h>

namespace {

// Optional white space around a field value: blanks and TABs.
bool IsFieldBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view TrimmedBlanks(std::string_view text)
{
    while (!text.empty() && IsFieldBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsFieldBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// One of the headers the screen reads, as a header entry holds it.
struct ScreenedField {
    enum Slot { kNone, kHost, kOrigin, kSite } slot = kNone;
    std::string_view value; // without the blanks around it
    bool malformed = false; // blanks between the name and the colon
};

// Entries are "Name=value" for a line "Name: value" and the line as it came for "Name:value",
// so the name ends at whichever of "=" and ":" comes first (neither can be part of a name).
ScreenedField ReadScreenedField(std::string_view entry)
{
    ScreenedField field;
    const std::size_t end = entry.find_first_of("=:");
    if (end == std::string_view::npos)
        return field;
    const std::string_view written = entry.substr(0, end);
    const std::string_view name = TrimmedBlanks(written);
    if (AnsiSameText(name, "Host"))
        field.slot = ScreenedField::kHost;
    else if (AnsiSameText(name, "Origin"))
        field.slot = ScreenedField::kOrigin;
    else if (AnsiSameText(name, "Sec-Fetch-Site"))
        field.slot = ScreenedField::kSite;
    field.malformed = name.size() != written.size();
    field.value = TrimmedBlanks(entry.substr(end + 1));
    return field;
}

// "host:port", "host", "[v6]:port" or "[v6]" as the host (brackets kept) and the port text,
// empty when none is given.
std::pair<std::string_view, std::string_view> SplitHostAndPort(std::string_view hostAndPort)
{
    const std::size_t colon = hostAndPort.rfind(':');
    const std::size_t bracket = hostAndPort.rfind(']');
    if (colon == std::string_view::npos || (bracket != std::string_view::npos && colon < bracket))
        return { hostAndPort, {} };
    return { hostAndPort.substr(0, colon), hostAndPort.substr(colon + 1) };
}

bool IsLiteralAddress(std::string_view host)
{
    const bool bracketed = host.size() > 2 && host.front() == '[' && host.back() == ']';
    const std::string text(bracketed ? host.substr(1, host.size() - 2) : host);
    unsigned char bytes[sizeof(in6_addr)];
    return bracketed ? ::inet_pton(AF_INET6, text.c_str(), bytes) == 1 : ::inet_pton(AF_INET, text.c_str(), bytes) == 1;
}

bool IsLoopbackName(std::string_view name)
{
    return AnsiSameText(name, "localhost") || name.starts_with("127.") || name == "[::1]";
}

// The machine's own addresses (IPv6 ones in brackets, as a URL writes them) and its host name.
std::vector<std::string> MachineNames()
{
    std::vector<std::string> names;
    ifaddrs* addresses = nullptr;
    if (::getifaddrs(&addresses) == 0) {
        for (const ifaddrs* at = addresses; at != nullptr; at = at->ifa_next) {
            if (at->ifa_addr == nullptr)
                continue;
            char text[INET6_ADDRSTRLEN] = {};
            if (at->ifa_addr->sa_family == AF_INET
                && ::inet_ntop(
                    AF_INET, &reinterpret_cast<const sockaddr_in*>(at->ifa_addr)->sin_addr, text, sizeof text))
                names.emplace_back(text);
            else if (at->ifa_addr->sa_family == AF_INET6
                && ::inet_ntop(
                    AF_INET6, &reinterpret_cast<const sockaddr_in6*>(at->ifa_addr)->sin6_addr, text, sizeof text))
                names.push_back("[" + std::string(text) + "]");
        }
        ::freeifaddrs(addresses);
    }
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) == 0 && host[0] != '\0')
        names.emplace_back(host);
    return names;
}

} // namespace

void TRequestScreen::AllowHost(std::string name)
{
    const auto [host, portText] = SplitHostAndPort(name);
    int32_t port = 0;
    if (!portText.empty()
        && std::from_chars(portText.data(), portText.data() + portText.size(), port).ec == std::errc()) {
        hosts_.push_back({ std::string(host), port });
        return;
    }
    if (IsLoopbackName(name)) {
        hosts_.push_back({ std::move(name) });
        return;
    }
    if (IsLiteralAddress(name)) {
        if (!offered_)
            ownNames_ = MachineNames();
        offered_ = true;
        hosts_.push_back({ std::move(name) });
        return;
    }
    hosts_.push_back({ std::move(name), 0, true });
}

bool TRequestScreen::IsOwnHost(std::string_view hostAndPort, int32_t port, bool origin, bool secure) const
{
    const auto [host, portText] = SplitHostAndPort(hostAndPort);
    const std::string served = std::to_string(port);
    // Without a port the browser means the scheme's own, 80 (or 443).
    const bool servedPort = portText == served || (portText.empty() && served == (secure ? "443" : "80"));
    for (const Allowed& own : hosts_) {
        if (!AnsiSameText(host, own.name))
            continue;
        if (own.port != 0 ? portText == std::to_string(own.port) : servedPort || (own.proxied && portText.empty()))
            return !secure || own.proxied;
    }
    if (!offered_ || secure)
        return false;
    if (!origin && IsLiteralAddress(host))
        return true;
    // Named, not a structured binding: some compilers cannot take those into a lambda.
    const std::string_view name = host;
    return servedPort && std::any_of(ownNames_.begin(), ownNames_.end(), [name](const std::string& own) {
        return AnsiSameText(name, own);
    });
}

bool TRequestScreen::Refuses(const TPackedStringList& headers, int32_t port) const
{
    std::optional<std::string_view> host;
    std::optional<std::string_view> origin;
    std::optional<std::string_view> site;
    for (const std::string_view entry : headers) {
        const ScreenedField field = ReadScreenedField(entry);
        if (field.slot == ScreenedField::kNone)
            continue;
        // A blank before the colon, or a second copy of the header: a proxy or server in front of
        // this one may read the request otherwise than this screen would, so neither is answered.
        if (field.malformed)
            return true;
        std::optional<std::string_view>& slot = field.slot == ScreenedField::kHost ? host
            : field.slot == ScreenedField::kOrigin                                 ? origin
                                                                                   : site;
        if (slot)
            return true;
        slot = field.value;
    }
    if (host && !IsOwnHost(*host, port, false, false))
        return true;
    if (origin) {
        constexpr std::string_view kScheme = "http://";
        constexpr std::string_view kSecureScheme = "https://";
        const bool secure = origin->starts_with(kSecureScheme);
        if (!secure && !origin->starts_with(kScheme))
            return true;
        if (!IsOwnHost(origin->substr(secure ? kSecureScheme.size() : kScheme.size()), port, true, secure))
            return true;
    }
    return site && (AnsiSameText(*site, "cross-site") || AnsiSameText(*site, "same-site"));
}
