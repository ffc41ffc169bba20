#include "common/WinAnsi.h"

#include <gtest/gtest.h>

TEST(WinAnsi, ConvertsTheCodePageBothWays)
{
    const std::string utf8 = "caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D \xC5\xA0";
    const auto ansi = Utf8ToAnsi(utf8);
    ASSERT_TRUE(ansi);
    EXPECT_EQ(*ansi, "caf\xE9 \x80 \x93q\x94 \x8A");
    EXPECT_EQ(AnsiToUtf8(*ansi), utf8);
    EXPECT_EQ(AnsiToUtf8("\x81"), "\xC2\x81") << "unassigned bytes still round-trip";
}

TEST(WinAnsi, RefusesWhatTheCodePageCannotHold)
{
    EXPECT_EQ(Utf8ToAnsi("\xE6\x97\xA5"), std::nullopt); // a CJK character
    EXPECT_EQ(Utf8ToAnsi("\xF0\x9F\x98\x80"), std::nullopt); // outside the BMP
    EXPECT_EQ(Utf8ToAnsi("\xE9t\xE9"), std::nullopt); // Latin-1 bytes are not UTF-8
    EXPECT_EQ(Utf8ToAnsi("\xC0\xAF"), std::nullopt); // overlong "/"
    EXPECT_EQ(Utf8ToAnsi("\xC3"), std::nullopt); // cut short
}
