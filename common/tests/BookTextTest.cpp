#include "common/BookText.h"
#include "common/Utf8.h"

#include <gtest/gtest.h>

TEST(BookText, KeepsWindows1252WhereEveryCharacterFitsAndUtf8Elsewhere)
{
    EXPECT_EQ(Utf8ToBookText("Caf\xC3\xA9 \xE2\x82\xAC"), "Caf\xE9 \x80") << "older readers still read it";
    EXPECT_EQ(Utf8ToBookText("plain"), "plain");
    const std::string russian
        = "\xD0\xA0\xD1\x83\xD0\xBA\xD0\xBE\xD0\xB2\xD0\xBE\xD0\xB4\xD1\x81\xD1\x82\xD0\xB2\xD0\xBE";
    EXPECT_EQ(Utf8ToBookText(russian), russian);
    const std::string mixed = "caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC";
    EXPECT_EQ(Utf8ToBookText(mixed), mixed) << "one character outside the code page makes the whole text UTF-8";
    EXPECT_EQ(Utf8ToBookText("\xE9t\xE9"), std::nullopt) << "bytes that are not UTF-8 are refused";
    EXPECT_EQ(Utf8ToBookText("\xF0\x9F\x98\x80"), "\xF0\x9F\x98\x80");
}

TEST(BookText, ReadsEachStoredFormBackAsWritten)
{
    for (const std::string utf8 : { "Caf\xC3\xA9", "\xD0\x9A\xD0\xBD\xD0\xB8\xD0\xB3\xD0\xB0",
             "\xE2\x80\x9Cq\xE2\x80\x9D", "\xC3\x83\xC2\xA9", "\xC3\xA2\xE2\x82\xAC\xC2\xA6", "" }) {
        const auto stored = Utf8ToBookText(utf8);
        ASSERT_TRUE(stored) << utf8;
        EXPECT_EQ(BookTextToUtf8(*stored), utf8) << "\"\xC3\x83\xC2\xA9\" in the code page would read back as UTF-8";
    }
    EXPECT_EQ(BookTextToUtf8("caf\xE9"), "caf\xC3\xA9") << "Windows-1252 from an older writer";
    EXPECT_EQ(BookTextToUtf8("\x93q\x94"), "\xE2\x80\x9Cq\xE2\x80\x9D");
    EXPECT_EQ(BookTextToUtf8("\xC3\xA9t\xE9"), "\xC3\x83\xC2\xA9t\xC3\xA9") << "not valid UTF-8 as a whole";
}

TEST(BookText, FoldsLetterCaseInEveryScriptWhicheverTheEncoding)
{
    // "/КНИГА.html" and "/книга.HTML"
    EXPECT_EQ(FoldedBookText("/\xD0\x9A\xD0\x9D\xD0\x98\xD0\x93\xD0\x90.html"),
        FoldedBookText("/\xD0\xBA\xD0\xBD\xD0\xB8\xD0\xB3\xD0\xB0.HTML"));
    EXPECT_NE(FoldedBookText("/\xD0\xBA\xD0\xBD\xD0\xB8\xD0\xB3\xD0\xB0"),
        FoldedBookText("/\xD0\xBA\xD0\xBD\xD0\xB8\xD0\xB3"));
    EXPECT_EQ(FoldedBookText("/CAF\xC9.htm"), FoldedBookText("/caf\xC3\xA9.htm")) << "Windows-1252 against UTF-8";
    EXPECT_EQ(FoldedBookText("/\x8A.htm"), FoldedBookText("/\xC5\xA1.htm")) << "S with caron";
    EXPECT_EQ(FoldedBookText("\xCE\xA3"), FoldedBookText("\xCF\x82")) << "capital and final sigma";
    EXPECT_EQ(FoldedBookText("\xD5\x80"), FoldedBookText("\xD5\xB0")) << "Armenian";
    EXPECT_NE(FoldedBookText("/a.htm "), FoldedBookText("/a.htm"));
    EXPECT_EQ(FoldLetterCase(U'\u65E5'), U'\u65E5') << "a script without case stays as it is";
}

TEST(Utf8, RefusesMalformedSequences)
{
    EXPECT_FALSE(DecodeUtf8("\xC0\xAF")) << "overlong";
    EXPECT_FALSE(DecodeUtf8("\xED\xA0\x80")) << "surrogate";
    EXPECT_FALSE(DecodeUtf8("\xF4\x90\x80\x80")) << "beyond U+10FFFF";
    EXPECT_FALSE(DecodeUtf8("\xE2\x82")) << "cut short";
    EXPECT_TRUE(DecodeUtf8("\xF0\x9F\x98\x80"));
    EXPECT_FALSE(IsMultiByteUtf8("ascii"));
}
