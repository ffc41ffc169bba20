#include "book/DateText.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace {

constexpr std::chrono::sys_days kEpoch = std::chrono::year { 1899 } / 12 / 30;
constexpr double kSecondsPerDay = 86400.0;

bool Digits(std::string_view text, std::size_t at, std::size_t count, int& value)
{
    if (at + count > text.size())
        return false;
    const char* first = text.data() + at;
    const auto [end, error] = std::from_chars(first, first + count, value);
    return error == std::errc() && end == first + count && value >= 0;
}

} // namespace

std::optional<double> ParseIsoDate(std::string_view text)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!Digits(text, 0, 4, year) || text.size() < 10 || text[4] != '-' || !Digits(text, 5, 2, month) || text[7] != '-'
        || !Digits(text, 8, 2, day))
        return std::nullopt;
    const std::chrono::year_month_day date { std::chrono::year { year },
        std::chrono::month { static_cast<unsigned>(month) }, std::chrono::day { static_cast<unsigned>(day) } };
    if (!date.ok())
        return std::nullopt;
    if (text.size() > 10) {
        const bool withSeconds = text.size() == 19;
        if ((text.size() != 16 && !withSeconds) || (text[10] != 'T' && text[10] != ' ') || !Digits(text, 11, 2, hour)
            || text[13] != ':' || !Digits(text, 14, 2, minute)
            || (withSeconds && (text[16] != ':' || !Digits(text, 17, 2, second))))
            return std::nullopt;
        if (hour > 23 || minute > 59 || second > 59)
            return std::nullopt;
    }
    const double days = static_cast<double>((std::chrono::sys_days(date) - kEpoch).count());
    return days + (hour * 3600 + minute * 60 + second) / kSecondsPerDay;
}

std::string FormatIsoDate(double days)
{
    if (!std::isfinite(days) || std::abs(days) > 3e6)
        return "invalid date";
    double whole = std::floor(days);
    auto seconds = static_cast<long>(std::lround((days - whole) * kSecondsPerDay));
    if (seconds >= static_cast<long>(kSecondsPerDay)) { // rounded up to the next midnight
        whole += 1;
        seconds = 0;
    }
    const std::chrono::year_month_day date { kEpoch + std::chrono::days { static_cast<long>(whole) } };
    char text[64];
    if (seconds == 0) {
        std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
            static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    } else {
        std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02ld:%02ld:%02ld", static_cast<int>(date.year()),
            static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()), seconds / 3600, seconds / 60 % 60,
            seconds % 60);
    }
    return text;
}
