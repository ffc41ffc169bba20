#include "viewer/app/WindowSystemChoice.h"

#include <gtest/gtest.h>

#include <map>

namespace {

TEnvironment From(std::map<std::string, std::string> variables)
{
    return [variables](const char* name) -> std::optional<std::string> {
        const auto found = variables.find(name);
        return found != variables.end() ? std::optional<std::string>(found->second) : std::nullopt;
    };
}

DisplaySettings Sized(WindowSizeMode mode)
{
    DisplaySettings display;
    display.sizeMode = mode;
    return display;
}

} // namespace

TEST(WindowSystemChoice, APlacedWindowOnWaylandRunsThroughXWaylandUnlessTheUserChoseAPlatform)
{
    const auto wayland = From({ { "WAYLAND_DISPLAY", "wayland-0" }, { "DISPLAY", ":0" } });
    EXPECT_EQ(PlatformForPlacement(wayland, Sized(WindowSizeMode::Normal)), "xcb");
    EXPECT_EQ(PlatformForPlacement(wayland, Sized(WindowSizeMode::AdjustedToScreen)), "xcb");
    EXPECT_EQ(PlatformForPlacement(
                  From({ { "XDG_SESSION_TYPE", "wayland" }, { "DISPLAY", ":1" } }), Sized(WindowSizeMode::Normal)),
        "xcb");
    // Nothing to place, or nowhere else to go, or the user's own choice.
    EXPECT_EQ(PlatformForPlacement(wayland, Sized(WindowSizeMode::Maximized)), std::nullopt);
    EXPECT_EQ(PlatformForPlacement(wayland, Sized(WindowSizeMode::FullScreen)), std::nullopt);
    EXPECT_EQ(PlatformForPlacement(From({ { "WAYLAND_DISPLAY", "wayland-0" } }), Sized(WindowSizeMode::Normal)),
        std::nullopt);
    EXPECT_EQ(PlatformForPlacement(
                  From({ { "WAYLAND_DISPLAY", "wayland-0" }, { "DISPLAY", ":0" }, { "QT_QPA_PLATFORM", "wayland" } }),
                  Sized(WindowSizeMode::Normal)),
        std::nullopt);
    EXPECT_EQ(PlatformForPlacement(From({ { "DISPLAY", ":0" } }), Sized(WindowSizeMode::Normal)), std::nullopt);
}
