#include "common/AnsiText.h"
#include "common/Exception.h"

#include <gtest/gtest.h>

TEST(AnsiText, SameTextFoldsOnlyLettersWithCasePairs)
{
    EXPECT_TRUE(AnsiSameText("Hello", "hELLO"));
    EXPECT_TRUE(AnsiSameText("\x8A\x9F", "\x9A\xFF")); // Š Ÿ against š ÿ
    EXPECT_FALSE(AnsiSameText("\xD7", "\xF7")); // × and ÷ are not a pair
    EXPECT_FALSE(AnsiSameText("[", "{"));
    EXPECT_FALSE(AnsiSameText("ab", "abc"));
}

TEST(AnsiText, TrimAndUpperCase)
{
    EXPECT_EQ(Trim(" \t\r\nabc \x01"), "abc");
    EXPECT_EQ(Trim("\t \r"), "");
    EXPECT_EQ(UpperCaseAscii("get \xE9"), "GET \xE9");
}

TEST(AnsiText, ReplaceAllAndFirst)
{
    EXPECT_EQ(ReplaceAll("/My%20Big%20Page", "%20", " "), "/My Big Page");
    EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
    EXPECT_EQ(ReplaceFirst("X: a: b", ": ", "="), "X=a: b");
    EXPECT_EQ(ReplaceFirst("none", ": ", "="), "none");
}

TEST(AnsiText, StrToIntAcceptsDecimalAndHexAndRejectsTheRest)
{
    EXPECT_EQ(StrToInt("12"), 12);
    EXPECT_EQ(StrToInt("  -7"), -7);
    EXPECT_EQ(StrToInt("$FF"), 255);
    EXPECT_EQ(StrToInt("0x10"), 16);
    EXPECT_EQ(StrToInt("2147483647"), 2147483647);
    EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
    for (const char* bad : { "", " ", "12 ", "1x", "2147483648", "$", "$1FFFFFFFF", "--1" }) {
        int32_t value = 0;
        EXPECT_FALSE(TryStrToInt(bad, value)) << bad;
    }
    try {
        StrToInt("abc");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'abc' is not a valid integer value");
    }
}
