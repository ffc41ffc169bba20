#include "pageservice/ByteRanges.h"

#include "common/AnsiText.h"

#include <charconv>
#include <optional>

namespace {

// A count of digits only; nothing for anything else (signs, blanks inside, overflow).
std::optional<int64_t> Number(std::string_view text)
{
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || text.front() == '-')
        return std::nullopt;
    return value;
}

} // namespace

TByteRangeChoice ChooseByteRange(std::string_view rangeHeader, int64_t total)
{
    using Kind = TByteRangeChoice::Kind;
    std::string_view ranges = TrimSpacesAndTabs(rangeHeader);
    constexpr std::string_view unit = "bytes=";
    if (ranges.size() < unit.size() || !AnsiSameText(ranges.substr(0, unit.size()), unit))
        return {};
    ranges = TrimSpacesAndTabs(ranges.substr(unit.size()));
    if (ranges.find(',') != std::string_view::npos)
        return {};
    const std::size_t dash = ranges.find('-');
    if (dash == std::string_view::npos)
        return {};
    const std::string_view from = TrimSpacesAndTabs(ranges.substr(0, dash));
    const std::string_view to = TrimSpacesAndTabs(ranges.substr(dash + 1));
    if (from.empty()) {
        // The last n bytes.
        const auto suffix = Number(to);
        if (!suffix)
            return {};
        if (*suffix == 0 || total == 0)
            return { Kind::Unsatisfiable };
        const int64_t count = std::min(*suffix, total);
        return { Kind::Partial, total - count, count };
    }
    const auto first = Number(from);
    if (!first)
        return {};
    std::optional<int64_t> last;
    if (!to.empty()) {
        last = Number(to);
        if (!last || *last < *first)
            return {};
    }
    if (*first >= total)
        return { Kind::Unsatisfiable };
    const int64_t end = last ? std::min(*last, total - 1) : total - 1;
    return { Kind::Partial, *first, end - *first + 1 };
}
