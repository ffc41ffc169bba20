#include "book/DateText.h"
#include "sources/SafePath.h"

#include <gtest/gtest.h>

TEST(DateText, DaysSinceTheEndOf1899)
{
    EXPECT_EQ(ParseIsoDate("1899-12-30"), 0.0);
    EXPECT_EQ(ParseIsoDate("1900-01-01"), 2.0);
    EXPECT_EQ(ParseIsoDate("2000-01-01"), 36526.0);
    EXPECT_EQ(ParseIsoDate("2000-01-01T18:00"), 36526.75);
    EXPECT_EQ(ParseIsoDate("2000-01-01T06:00:00"), 36526.25);
    EXPECT_EQ(FormatIsoDate(36526.0), "2000-01-01");
    EXPECT_EQ(FormatIsoDate(36526.75), "2000-01-01T18:00:00");
    EXPECT_EQ(FormatIsoDate(36526.9999999), "2000-01-02") << "rounds up to midnight, not 24:00";
}

TEST(DateText, RefusesMalformedDates)
{
    for (const char* text : { "", "2000-1-1", "2000-02-30", "2000/01/01", "2000-01-01T25:00", "2000-01-01T12",
             "01-01-2000", "2000-01-01x", "-200-01-01" })
        EXPECT_EQ(ParseIsoDate(text), std::nullopt) << text;
}

TEST(SafePath, KeepsOrdinaryNamesAndRefusesEscapes)
{
    EXPECT_EQ(PagePathBelow("/index.htm"), std::filesystem::path("index.htm"));
    EXPECT_EQ(PagePathBelow("/img/a b.png"), std::filesystem::path("img/a b.png"));
    EXPECT_EQ(PagePathBelow("relative.htm"), std::filesystem::path("relative.htm"));
    EXPECT_EQ(PagePathBelow("/..hidden"), std::filesystem::path("..hidden"));
    for (const char* name :
        { "/", "", "//etc/passwd", "/../x", "/a/../../x", "/a/./b", "/a//b", "/a/", "/..", "/a\\..\\..\\x", "/." })
        EXPECT_EQ(PagePathBelow(name), std::nullopt) << name;
    EXPECT_EQ(PagePathBelow(std::string_view("/a\0b", 4)), std::nullopt);
}
