#include "book/BookTypes.h"

#include "common/AnsiText.h"

#include <array>

namespace {

struct ModeNames {
    uint8_t value;
    std::string_view identifier;
    std::string_view displayName;
};

constexpr std::array<ModeNames, 4> kSizeModeNames { {
    { 0, "Normal", "Normal" },
    { 1, "Maximized", "Maximized" },
    { 2, "FullScreen", "Full Screen" },
    { 3, "AdjustedToScreen", "Adjusted To Screen" },
} };

constexpr std::array<ModeNames, 3> kPositionModeNames { {
    { 0, "Custom", "Custom" },
    { 1, "DesktopCenter", "Desktop Center" },
    { 2, "ScreenCenter", "Screen Center" },
} };

template <std::size_t N> std::string_view DisplayNameOf(const std::array<ModeNames, N>& names, uint8_t value)
{
    for (const ModeNames& entry : names) {
        if (entry.value == value)
            return entry.displayName;
    }
    return {};
}

template <std::size_t N> std::optional<uint8_t> ValueOf(const std::array<ModeNames, N>& names, std::string_view text)
{
    for (const ModeNames& entry : names) {
        if (AnsiSameText(text, entry.identifier) || AnsiSameText(text, entry.displayName))
            return entry.value;
    }
    return std::nullopt;
}

} // namespace

std::string_view WindowSizeModeName(WindowSizeMode mode)
{
    return DisplayNameOf(kSizeModeNames, static_cast<uint8_t>(mode));
}

std::string_view WindowPositionModeName(WindowPositionMode mode)
{
    return DisplayNameOf(kPositionModeNames, static_cast<uint8_t>(mode));
}

std::optional<WindowSizeMode> ParseWindowSizeMode(std::string_view text)
{
    const auto value = ValueOf(kSizeModeNames, text);
    return value ? std::optional(static_cast<WindowSizeMode>(*value)) : std::nullopt;
}

std::optional<WindowPositionMode> ParseWindowPositionMode(std::string_view text)
{
    const auto value = ValueOf(kPositionModeNames, text);
    return value ? std::optional(static_cast<WindowPositionMode>(*value)) : std::nullopt;
}
