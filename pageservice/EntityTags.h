#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Entity tags and the conditions of a request that compare them. Tags are held without their
// quotes; headers carry them quoted.

// A tag made from the body itself: its CRC-32 and its length, in hex ("1c291ca3-2d").
std::string TagOfBody(std::string_view body);

// If-None-Match: true when it is "*" or lists the tag, weakly compared (a W/ tag matches too).
bool NoneMatchHits(std::string_view ifNoneMatch, std::string_view tag);

// If-Range: true when it names the tag exactly (strong comparison: a weak tag never holds), or is
// a date equal to lastModified (when there is one). False for anything else: the whole body then.
bool IfRangeHolds(std::string_view ifRange, std::string_view tag, int64_t lastModified);
