#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// How the viewer sizes its window. The container stores it in the low byte of an int32, so any of
// the 256 byte values can occur; values without a name leave the window as designed.
enum class WindowSizeMode : uint8_t {
    Normal = 0,
    Maximized = 1,
    FullScreen = 2,
    AdjustedToScreen = 3,
};

// Where a Normal-sized window goes. Values without a name leave the position as designed.
enum class WindowPositionMode : uint8_t {
    Custom = 0,
    DesktopCenter = 1,
    ScreenCenter = 2,
};

// The display values of the book header as the reader holds them after a load. Geometry the
// container does not carry stays 0.
struct DisplaySettings {
    WindowSizeMode sizeMode = WindowSizeMode::Normal;
    WindowPositionMode positionMode = WindowPositionMode::Custom;
    int32_t windowHeight = 0;
    int32_t windowLeft = 0;
    int32_t windowWidth = 0;
    int32_t windowTop = 0;
    bool resizable = false;
    bool allowPrint = false;
    bool allowContextMenu = false;
    bool showToolbar = false;
    bool showMenu = false;

    bool operator==(const DisplaySettings&) const = default;
};

// The display names shown to authors ("Full Screen", "Desktop Center"); empty for a value that has
// no name.
std::string_view WindowSizeModeName(WindowSizeMode mode);
std::string_view WindowPositionModeName(WindowPositionMode mode);

// Accepts the identifier ("FullScreen") or the display name ("Full Screen"), in any letter case.
std::optional<WindowSizeMode> ParseWindowSizeMode(std::string_view text);
std::optional<WindowPositionMode> ParseWindowPositionMode(std::string_view text);
