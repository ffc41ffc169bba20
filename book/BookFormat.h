#pragma once

#include <cstdint>
#include <string_view>

// Constants of the container layout shared by the reader and the writer.

// The first header field: a counted string that marks a container.
inline constexpr std::string_view kBookMagic = "QVX200";

// The trailer is the file's last 4 bytes: the header's absolute position.
inline constexpr int32_t kTrailerSize = 4;

// A page body starts with its inflated length; a shorter body cannot hold it.
inline constexpr int32_t kBodyPrefixSize = 4;

// Upper bound for one inflated page, guarding against corrupt or hostile length prefixes that
// would otherwise make every request allocate gigabytes.
inline constexpr int32_t kMaxPageSize = 256 * 1024 * 1024;

// Deflate cannot expand by more than about 1032:1, so a prefix claiming more than this many bytes
// per stored byte cannot be genuine; it is refused before the output is allocated.
inline constexpr int64_t kMaxInflateRatio = 1032;
