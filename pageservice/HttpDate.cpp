#include "pageservice/HttpDate.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace {

constexpr std::array<const char*, 7> kDays = { "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat" };
constexpr std::array<const char*, 12> kMonths
    = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };

std::optional<int64_t> EpochOf(int year, int month, int day, int hour, int minute, int second)
{
    if (month < 0 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60 || hour < 0 || minute < 0
        || second < 0)
        return std::nullopt;
    std::tm parts {};
    parts.tm_year = year - 1900;
    parts.tm_mon = month;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    return static_cast<int64_t>(timegm(&parts));
}

int MonthOf(const char* name)
{
    for (std::size_t i = 0; i < kMonths.size(); ++i) {
        if (std::string_view(name) == kMonths[i])
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace

std::string FormatHttpDate(int64_t epochSeconds)
{
    const auto time = static_cast<std::time_t>(epochSeconds);
    std::tm parts {};
    gmtime_r(&time, &parts);
    char text[40];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT",
        kDays[static_cast<std::size_t>(parts.tm_wday)], parts.tm_mday, kMonths[static_cast<std::size_t>(parts.tm_mon)],
        parts.tm_year + 1900, parts.tm_hour, parts.tm_min, parts.tm_sec);
    return text;
}

std::string HttpDateNow()
{
    // Every answer carries the date: formatting it once a second spares the work on a busy server.
    thread_local int64_t madeFor = -1;
    thread_local std::string made;
    const int64_t now
        = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    if (now != madeFor) {
        made = FormatHttpDate(now);
        madeFor = now;
    }
    return made;
}

std::optional<int64_t> ParseHttpDate(std::string_view text)
{
    const std::string copy(text);
    char weekday[16] = {};
    char month[4] = {};
    int day = 0;
    int year = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int used = 0;
    // IMF-fixdate.
    if (std::sscanf(copy.c_str(), "%3s, %2d %3s %4d %2d:%2d:%2d GMT%n", weekday, &day, month, &year, &hour, &minute,
            &second, &used)
            == 7
        && used == static_cast<int>(copy.size()))
        return EpochOf(year, MonthOf(month), day, hour, minute, second);
    // RFC 850, with a two-digit year.
    used = 0;
    if (std::sscanf(copy.c_str(), "%15[A-Za-z], %2d-%3s-%2d %2d:%2d:%2d GMT%n", weekday, &day, month, &year, &hour,
            &minute, &second, &used)
            == 7
        && used == static_cast<int>(copy.size()))
        return EpochOf(year < 70 ? 2000 + year : 1900 + year, MonthOf(month), day, hour, minute, second);
    // asctime.
    used = 0;
    if (std::sscanf(
            copy.c_str(), "%3s %3s %2d %2d:%2d:%2d %4d%n", weekday, month, &day, &hour, &minute, &second, &year, &used)
            == 7
        && used == static_cast<int>(copy.size()))
        return EpochOf(year, MonthOf(month), day, hour, minute, second);
    return std::nullopt;
}
