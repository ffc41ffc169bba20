#pragma once

#include "CommandLine.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

class TNetHTTPListener;

// What one client of `ebook-pack serve` may cost, as its options set it. Unlike the viewer, whose
// only client is its own browser, a served book may face any client of the machine (or network).
struct ServeLimits {
    std::size_t cacheBytes = 0;
    std::size_t memoryBytes = 0;
    int32_t maxConnections = 0;
    int32_t idleMinutes = 0;
    int32_t maxRequestLine = 0;
    int32_t maxHeaderBytes = 0;
    int32_t maxBody = 0;
};

// How often idle connections are looked for: a connection goes within this much after its limit.
inline constexpr std::chrono::milliseconds kServeIdleCheckInterval { 10000 };

// serve's options: --port, --bind and those of the limits.
std::vector<OptionSpec> ServeOptionTable();
// The limits from the options, each option's default where it is absent; raises EUsageError for a
// value out of range.
ServeLimits ReadServeLimits(const CommandLine& line);
// Sets the listener's limits and its idle check. A connection is idle while its session sends
// nothing: a client that reads its answer slowly keeps it, one that stopped reading does not, and
// a request that is not complete within the timeout is ended too.
void ApplyServeLimits(const ServeLimits& limits, TNetHTTPListener& listener);

// Raises the soft limit of open descriptors to the hard limit.
void RaiseDescriptorLimit();

// The option's whole-number value within min .. max, or fallback when the option is absent.
int32_t NumberOption(const CommandLine& line, std::string_view name, int32_t min, int32_t max, int32_t fallback);
