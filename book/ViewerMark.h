#pragma once

#include <array>
#include <cstddef>
#include <string>

// The viewer program carries a mark by which `ebook-pack build --stub` knows a program that a
// book may be appended to. The mark's bytes are kept here turned (each one XOR kViewerMarkTurn),
// so that a program which only looks for the mark does not carry it and pass for the viewer.

inline constexpr unsigned char kViewerMarkTurn = 0x5A;

inline constexpr char kTurnedViewerMark[] = "\x3F\x38\x35\x35\x31\x7A\x2C\x33\x3F\x2D\x3F\x28\x7A\x2A\x28\x35"
                                            "\x3D\x28\x3B\x37\x60\x7A\x3B\x7A\x38\x35\x35\x31\x7A\x37\x3B\x23"
                                            "\x7A\x38\x3F\x7A\x3B\x2A\x2A\x3F\x34\x3E\x3F\x3E\x7A\x2E\x35\x7A"
                                            "\x33\x2E";

inline constexpr std::size_t kViewerMarkSize = sizeof kTurnedViewerMark - 1;

// The mark, made at compile time: what the viewer embeds.
constexpr std::array<char, kViewerMarkSize> ViewerMark()
{
    std::array<char, kViewerMarkSize> mark {};
    for (std::size_t i = 0; i < kViewerMarkSize; ++i)
        mark[i] = static_cast<char>(static_cast<unsigned char>(kTurnedViewerMark[i]) ^ kViewerMarkTurn);
    return mark;
}

// The mark, made at run time with a turn the compiler cannot see through: what a checker uses.
std::string ViewerMarkToFind();
