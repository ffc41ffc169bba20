#pragma once

#include <cstdint>
#include <string_view>

// FNV-1a over the text's bytes: the same on every machine and in every run, which std::hash is
// not, so that what is made from it (a book's stored hashes, a library's names, an icon's colour,
// a feed's ids) stays the same from one run to the next.

inline constexpr uint32_t kStableHash32Start = 2166136261U;
inline constexpr uint64_t kStableHash64Start = 14695981039346656037ULL;

constexpr uint32_t StableHash32(std::string_view text, uint32_t hash = kStableHash32Start)
{
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619U;
    }
    return hash;
}

constexpr uint64_t StableHash64(std::string_view text, uint64_t hash = kStableHash64Start)
{
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    return hash;
}
