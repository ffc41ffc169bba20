#include "book/BookTypes.h"

#include <gtest/gtest.h>

TEST(BookTypes, DisplayNamesOfEveryNamedValue)
{
    EXPECT_EQ(WindowSizeModeName(WindowSizeMode::Normal), "Normal");
    EXPECT_EQ(WindowSizeModeName(WindowSizeMode::Maximized), "Maximized");
    EXPECT_EQ(WindowSizeModeName(WindowSizeMode::FullScreen), "Full Screen");
    EXPECT_EQ(WindowSizeModeName(WindowSizeMode::AdjustedToScreen), "Adjusted To Screen");
    EXPECT_EQ(WindowPositionModeName(WindowPositionMode::Custom), "Custom");
    EXPECT_EQ(WindowPositionModeName(WindowPositionMode::DesktopCenter), "Desktop Center");
    EXPECT_EQ(WindowPositionModeName(WindowPositionMode::ScreenCenter), "Screen Center");
}

TEST(BookTypes, ValuesWithoutANameHaveAnEmptyDisplayName)
{
    EXPECT_EQ(WindowSizeModeName(static_cast<WindowSizeMode>(4)), "");
    EXPECT_EQ(WindowPositionModeName(static_cast<WindowPositionMode>(3)), "");
}

TEST(BookTypes, ParsesIdentifiersAndDisplayNamesInAnyCase)
{
    EXPECT_EQ(ParseWindowSizeMode("FullScreen"), WindowSizeMode::FullScreen);
    EXPECT_EQ(ParseWindowSizeMode("full screen"), WindowSizeMode::FullScreen);
    EXPECT_EQ(ParseWindowSizeMode("Adjusted To Screen"), WindowSizeMode::AdjustedToScreen);
    EXPECT_EQ(ParseWindowPositionMode("desktopcenter"), WindowPositionMode::DesktopCenter);
    EXPECT_EQ(ParseWindowPositionMode("Screen Center"), WindowPositionMode::ScreenCenter);
    EXPECT_EQ(ParseWindowSizeMode("Fullscreen "), std::nullopt);
    EXPECT_EQ(ParseWindowPositionMode("Centre"), std::nullopt);
}
