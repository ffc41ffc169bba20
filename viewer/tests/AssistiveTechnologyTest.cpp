#include "viewer/app/AssistiveTechnology.h"

#include <gtest/gtest.h>

TEST(AssistiveTechnology, ThePagesAccessibilityFlagJoinsTheFlagsGivenOnce)
{
    EXPECT_EQ(FlagsWithPageAccessibility(""), "--force-renderer-accessibility");
    EXPECT_EQ(FlagsWithPageAccessibility("--no-first-run"), "--no-first-run --force-renderer-accessibility");
    EXPECT_EQ(FlagsWithPageAccessibility("--force-renderer-accessibility --no-first-run"),
        "--force-renderer-accessibility --no-first-run");
}
