#pragma once

#include <cstdint>

// The resident memory of this process and of every process it started (the engine's helpers), in
// bytes, read from /proc; 0 where it cannot be read.
int64_t OwnResidentBytes();
// The most resident memory this process has had so far.
int64_t OwnPeakResidentBytes();
int64_t FamilyResidentBytes();
