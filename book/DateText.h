#pragma once

#include <optional>
#include <string>
#include <string_view>

// The container keeps dates as days since 30 December 1899, the fraction being the time of day.

// "YYYY-MM-DD", optionally followed by "THH:MM" or "THH:MM:SS"; nothing for anything else.
std::optional<double> ParseIsoDate(std::string_view text);

// "YYYY-MM-DD" of the date part, or "YYYY-MM-DDTHH:MM:SS" when there is a time of day.
std::string FormatIsoDate(double days);
