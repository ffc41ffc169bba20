#pragma once

#include <cstdint>
#include <string>

// What the start-up probes report: the summed resident memory of a process and every process it
// started (the engine's helpers), in KiB.
int64_t ResidentKiBWithChildren(int pid);

// Prints one "name value" line on standard output at once, so the harness times it as it comes.
void Report(const std::string& name, double value);
