#pragma once

#include "CommandLine.h"
#include "PageServerLimits.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// serve's options: --port, --bind and those of the limits.
std::vector<OptionSpec> ServeOptionTable();
// What one client of `ebook-pack serve` may cost, as its options set it, each option's default
// where it is absent; raises EUsageError for a value out of range. Unlike the viewer, whose only
// client is its own browser, a served book may face any client of the machine (or network).
TPageServerLimits ReadServeLimits(const CommandLine& line);

// Raises the soft limit of open descriptors to the hard limit.
void RaiseDescriptorLimit();

// The option's whole-number value within min .. max, or fallback when the option is absent.
int32_t NumberOption(const CommandLine& line, std::string_view name, int32_t min, int32_t max, int32_t fallback);
