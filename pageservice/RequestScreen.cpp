#include "pageservice/RequestScreen.h"

#include "common/AnsiText.h"
#include "common/PackedStringList.h"

#include <algorithm>
#include <optional>

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

} // namespace

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
    if (host && !IsOwnHost(*host, port))
        return true;
    if (origin) {
        constexpr std::string_view kScheme = "http://";
        if (!origin->starts_with(kScheme) || !IsOwnHost(origin->substr(kScheme.size()), port))
            return true;
    }
    return site && (AnsiSameText(*site, "cross-site") || AnsiSameText(*site, "same-site"));
}
