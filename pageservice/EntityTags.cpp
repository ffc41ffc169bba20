#include "pageservice/EntityTags.h"

#include "common/AnsiText.h"
#include "pageservice/HttpDate.h"

#include <zlib.h>

#include <cstdio>

std::string TagOfBody(std::string_view body)
{
    // crc32_z takes the whole length at once, however large.
    const unsigned long crc = crc32_z(0L, reinterpret_cast<const Bytef*>(body.data()), body.size());
    char text[48];
    std::snprintf(text, sizeof text, "%08lx-%zx", crc, body.size());
    return text;
}

bool NoneMatchHits(std::string_view ifNoneMatch, std::string_view tag)
{
    std::string_view rest = TrimSpacesAndTabs(ifNoneMatch);
    if (rest == "*")
        return true;
    // Tags may hold commas inside their quotes: walk quoted strings, not comma-separated pieces.
    while (true) {
        const std::size_t open = rest.find('"');
        if (open == std::string_view::npos)
            return false;
        const std::size_t close = rest.find('"', open + 1);
        if (close == std::string_view::npos)
            return false;
        if (rest.substr(open + 1, close - open - 1) == tag)
            return true;
        rest.remove_prefix(close + 1);
    }
}

bool IfRangeHolds(std::string_view ifRange, std::string_view tag, int64_t lastModified)
{
    const std::string_view value = TrimSpacesAndTabs(ifRange);
    if (value.starts_with("W/"))
        return false;
    if (value.starts_with('"'))
        return value.size() >= 2 && value.ends_with('"') && value.substr(1, value.size() - 2) == tag;
    const auto date = ParseHttpDate(value);
    return date && lastModified > 0 && *date == lastModified;
}
