#include "common/DisplayText.h"

#include <gtest/gtest.h>

TEST(DisplayText, LongTitlesAreCutOnACharacterBoundaryAndMadeOneLine)
{
    EXPECT_EQ(CutForDisplay("Short title"), "Short title");
    EXPECT_EQ(CutForDisplay("two\nlines\tand\x1b[2Jescape"), "two lines and [2Jescape");
    EXPECT_EQ(CutForDisplay("bad \xFF byte"), "bad   byte") << "a byte that is not UTF-8 is a blank";
    EXPECT_EQ(CutForDisplay("one\r\ntwo\x1b", 100, LineBreaks::Keep), "one\r\ntwo ") << "a description keeps its lines";

    // 300 Cyrillic letters, two bytes each: cut after the 256th letter, never inside one.
    std::string cyrillic;
    for (int i = 0; i < 300; ++i)
        cyrillic += "\xD0\xB6";
    const std::string cut = CutForDisplay(cyrillic);
    EXPECT_EQ(cut, cyrillic.substr(0, 2 * kDisplayTextLength) + "\xE2\x80\xA6");
    EXPECT_EQ(CutForDisplay(cyrillic, 300), cyrillic) << "exactly the limit is not cut";

    // A title of a hundred mebibytes gives the same short line as its first characters would.
    const std::string huge(100u << 20, 'x');
    EXPECT_EQ(CutForDisplay(huge, 3), "xxx\xE2\x80\xA6");
}

TEST(DisplayText, ControlCharactersAreEscapedForTheTerminal)
{
    EXPECT_EQ(EscapeForTerminal("chapter 1.html"), "chapter 1.html");
    EXPECT_EQ(EscapeForTerminal("\x1b]0;owned\x07.html"), "\\x1b]0;owned\\x07.html");
    EXPECT_EQ(EscapeForTerminal("a\r\nb\x7f"), "a\\x0d\\x0ab\\x7f");
    EXPECT_EQ(
        EscapeForTerminal("Cannot open \x1b[8m\n  reason\r", LineBreaks::Keep), "Cannot open \\x1b[8m\n  reason\\x0d");
    EXPECT_EQ(EscapeForTerminal("c1 \xC2\x9B"
                                "31m"),
        "c1 \\x9b31m")
        << "the one-character CSI of C1";
    EXPECT_EQ(
        EscapeForTerminal("\xD0\xB3\xD0\xBB\xD0\xB0\xD0\xB2\xD0\xB0"), "\xD0\xB3\xD0\xBB\xD0\xB0\xD0\xB2\xD0\xB0");
    EXPECT_EQ(EscapeForTerminal("raw \x9b byte"), "raw \\x9b byte") << "not UTF-8: escaped as the byte";
}

TEST(DisplayText, TerminalTextIsCutAfterItsPrintedCharacters)
{
    // A title of fifty mebibytes prints as one short line, its escapes counted as printed.
    const std::string huge(50u << 20, 'x');
    EXPECT_EQ(EscapeForTerminal(huge), std::string(kDisplayTextLength, 'x') + "\xE2\x80\xA6");
    EXPECT_EQ(EscapeForTerminal(std::string(kDisplayTextLength, 'x')), std::string(kDisplayTextLength, 'x'))
        << "exactly the limit is not cut";
    EXPECT_EQ(EscapeForTerminal("ab\x1b[2J", LineBreaks::Blank, 6), "ab\\x1b\xE2\x80\xA6")
        << "an escape is never cut in half";
    const std::string cyrillic = "\xD0\xB3\xD0\xBB\xD0\xB0";
    EXPECT_EQ(EscapeForTerminal(cyrillic, LineBreaks::Blank, 2), "\xD0\xB3\xD0\xBB\xE2\x80\xA6")
        << "whole UTF-8 characters";
    const std::string lines = EscapeForTerminal(std::string(10000, '\n'), LineBreaks::Keep, kDisplayDescriptionLength);
    EXPECT_EQ(lines.size(), kDisplayDescriptionLength + 3) << "a message keeps its lines up to its own bound";
}

TEST(DisplayText, CutTextKeepsWhatItKeepsAsItIs)
{
    EXPECT_EQ(CutText("tab\there", 100), "tab\there");
    EXPECT_EQ(CutText("\xD0\xB3\xD0\xBB\xD0\xB0", 2), "\xD0\xB3\xD0\xBB\xE2\x80\xA6");
    EXPECT_EQ(CutText(std::string(3u << 20, 'x')).size(), kDisplayTextLength + 3);
}

TEST(DisplayText, JsonKeepsItsValueWithTheC1ControlsEscaped)
{
    EXPECT_EQ(EscapeC1InJson("{\"t\": \"c1 \xC2\x9B"
                             "31m \xC2\xA0 \xD0\xB3\"}"),
        "{\"t\": \"c1 \\u009b31m \xC2\xA0 \xD0\xB3\"}");
}
