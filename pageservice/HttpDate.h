#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Dates as HTTP writes them: "Sun, 06 Nov 1994 08:49:37 GMT" (IMF-fixdate).

// The time, in seconds since the epoch, as an IMF-fixdate.
std::string FormatHttpDate(int64_t epochSeconds);
// The current time as an IMF-fixdate; made once a second per thread.
std::string HttpDateNow();
// Seconds since the epoch of an IMF-fixdate, or of the obsolete forms clients may still send
// ("Sunday, 06-Nov-94 08:49:37 GMT", "Sun Nov  6 08:49:37 1994"); nothing for any other text.
std::optional<int64_t> ParseHttpDate(std::string_view text);
