#include "book/tests/ContainerBuilder.h"

#include <gtest/gtest.h>

// Each container carries one page after the header; finding and extracting it proves that the
// reader consumed exactly the header fields the container holds, no more and no fewer.
namespace {

const std::vector<RawEntry> kOnePage = { { "/index.htm", PageRecord("<p>home</p>"), std::nullopt } };

void ExpectDirectoryIntact(LoadedBook& book)
{
    ASSERT_TRUE(book.valid);
    ASSERT_EQ(book.reader.Pages().Count(), 1);
    EXPECT_EQ(book.reader.Pages()[0], "/index.htm");
    EXPECT_EQ(book.Page("/index.htm"), "<p>home</p>");
}

} // namespace

TEST(HeaderGeometry, CustomPositionCarriesLeftTopWidthHeight)
{
    RawHeader header;
    header.sizeMode = 0;
    header.positionMode = 0;
    header.geometry = { 10, 20, 640, 480 };
    LoadedBook book(BuildContainer(header, kOnePage));
    ExpectDirectoryIntact(book);
    const DisplaySettings& display = book.reader.DisplaySettings();
    EXPECT_EQ(display.sizeMode, WindowSizeMode::Normal);
    EXPECT_EQ(display.positionMode, WindowPositionMode::Custom);
    EXPECT_EQ(display.windowLeft, 10);
    EXPECT_EQ(display.windowTop, 20);
    EXPECT_EQ(display.windowWidth, 640);
    EXPECT_EQ(display.windowHeight, 480);
}

TEST(HeaderGeometry, CentredPositionCarriesWidthThenHeightOnly)
{
    RawHeader header;
    header.sizeMode = 0;
    header.positionMode = 2;
    header.geometry = { 800, 600 };
    LoadedBook book(BuildContainer(header, kOnePage));
    ExpectDirectoryIntact(book);
    const DisplaySettings& display = book.reader.DisplaySettings();
    EXPECT_EQ(display.positionMode, WindowPositionMode::ScreenCenter);
    EXPECT_EQ(display.windowWidth, 800);
    EXPECT_EQ(display.windowHeight, 600);
    EXPECT_EQ(display.windowLeft, 0);
    EXPECT_EQ(display.windowTop, 0);
}

TEST(HeaderGeometry, SizeModesOtherThanNormalCarryNone)
{
    for (int32_t sizeMode : { 1, 2, 3, 9 }) {
        RawHeader header;
        header.sizeMode = sizeMode;
        header.positionMode = 0;
        LoadedBook book(BuildContainer(header, kOnePage));
        ExpectDirectoryIntact(book);
        const DisplaySettings& display = book.reader.DisplaySettings();
        EXPECT_EQ(static_cast<int>(display.sizeMode), sizeMode);
        EXPECT_EQ(display.windowWidth, 0);
        EXPECT_EQ(display.windowHeight, 0);
    }
}

TEST(HeaderLowByteRule, StoredSizeMode256IsNormalAndCarriesGeometry)
{
    RawHeader header;
    header.sizeMode = 256;
    header.positionMode = 0x0300; // low byte 0: Custom
    header.geometry = { 1, 2, 3, 4 };
    LoadedBook book(BuildContainer(header, kOnePage));
    ExpectDirectoryIntact(book);
    EXPECT_EQ(book.reader.DisplaySettings().sizeMode, WindowSizeMode::Normal);
    EXPECT_EQ(book.reader.DisplaySettings().positionMode, WindowPositionMode::Custom);
    EXPECT_EQ(book.reader.DisplaySettings().windowHeight, 4);
}

TEST(HeaderLowByteRule, StoredSizeMode257IsMaximizedWithoutGeometry)
{
    RawHeader header;
    header.sizeMode = 257;
    LoadedBook book(BuildContainer(header, kOnePage));
    ExpectDirectoryIntact(book);
    EXPECT_EQ(book.reader.DisplaySettings().sizeMode, WindowSizeMode::Maximized);
}

TEST(HeaderLowByteRule, EntryExtraModeAndAuxKindUseTheirLowByte)
{
    RawHeader header;
    header.entryExtraMode = 256; // no extra byte per entry
    header.auxKind = 0x101; // 4-byte aux value
    header.auxBytes = "abcd";
    LoadedBook book(BuildContainer(header, kOnePage));
    ExpectDirectoryIntact(book);
    EXPECT_EQ(book.reader.entryExtraMode(), 0);
    EXPECT_EQ(book.reader.auxKind(), 1);
}

class HeaderAuxKind : public testing::TestWithParam<std::pair<int32_t, std::string>> { };

TEST_P(HeaderAuxKind, SkipsExactlyTheAuxValueItSelects)
{
    RawHeader header;
    header.auxKind = GetParam().first;
    header.auxBytes = GetParam().second;
    header.homePageIndex = -1;
    header.auxPageIndex = 7;
    LoadedBook book(BuildContainer(header, kOnePage));
    ExpectDirectoryIntact(book);
    EXPECT_EQ(book.reader.homePageIndex(), -1);
    EXPECT_EQ(book.reader.auxPageIndex(), 7);
    EXPECT_TRUE(book.reader.DisplaySettings().showMenu);
}

INSTANTIATE_TEST_SUITE_P(Kinds, HeaderAuxKind,
    testing::Values(std::pair<int32_t, std::string> { 1, "\x01\x02\x03\x04" },
        std::pair<int32_t, std::string> { 2, "12345678" }, std::pair<int32_t, std::string> { 3, "" },
        std::pair<int32_t, std::string> { 0, "" }, std::pair<int32_t, std::string> { -1, "" }));

TEST(HeaderAbout, AbsentTextAndDateAreTwoZeroBytes)
{
    RawHeader header;
    LoadedBook book(BuildContainer(header, kOnePage));
    ExpectDirectoryIntact(book);
    EXPECT_FALSE(book.reader.hasAboutText());
    EXPECT_FALSE(book.reader.hasAboutDate());
    EXPECT_EQ(book.reader.aboutText(), "");
    EXPECT_EQ(book.reader.aboutDate(), 0.0);
}

TEST(HeaderAbout, PresentTextAndDateAreRead)
{
    RawHeader header;
    header.title = "Guide \xE9t\xE9";
    header.description = "";
    header.hasAboutText = 2; // any nonzero byte is true
    header.aboutText = "Written by us.";
    header.hasAboutDate = 1;
    header.aboutDate = 46000.75;
    LoadedBook book(BuildContainer(header, kOnePage));
    ExpectDirectoryIntact(book);
    EXPECT_EQ(book.reader.title(), "Guide \xE9t\xE9");
    EXPECT_EQ(book.reader.description(), "");
    EXPECT_TRUE(book.reader.hasAboutText());
    EXPECT_EQ(book.reader.aboutText(), "Written by us.");
    EXPECT_TRUE(book.reader.hasAboutDate());
    EXPECT_EQ(book.reader.aboutDate(), 46000.75);
}

TEST(HeaderFlags, FiveFlagsInFileOrder)
{
    RawHeader header;
    header.showMenu = 1;
    header.showToolbar = 0;
    header.resizable = 0xFF;
    header.allowPrint = 0;
    header.allowContextMenu = 1;
    LoadedBook book(BuildContainer(header, kOnePage));
    ExpectDirectoryIntact(book);
    const DisplaySettings& display = book.reader.DisplaySettings();
    EXPECT_TRUE(display.showMenu);
    EXPECT_FALSE(display.showToolbar);
    EXPECT_TRUE(display.resizable);
    EXPECT_FALSE(display.allowPrint);
    EXPECT_TRUE(display.allowContextMenu);
}

TEST(HeaderMagic, AnythingButTheExactMagicIsInvalid)
{
    for (const char* magic : { "qvx200", "QVX201", "QVX2000", "QVX20", "" }) {
        RawHeader header;
        header.magic = magic;
        LoadedBook book(BuildContainer(header, kOnePage));
        EXPECT_FALSE(book.valid) << magic;
        EXPECT_FALSE(book.reader.IsValid());
        EXPECT_EQ(book.reader.Pages().Count(), 0) << "nothing is read after a wrong magic";
    }
}

TEST(HeaderMagic, FreshReaderIsNotValid)
{
    TBookReader reader;
    EXPECT_FALSE(reader.IsValid());
    TMemoryStream output;
    EXPECT_FALSE(reader.ExtractPage("/index.htm", output));
}

TEST(HeaderMagic, ASecondLoadForgetsTheFirstBook)
{
    RawHeader header;
    header.hasAboutText = 1;
    header.aboutText = "first";
    LoadedBook book(BuildContainer(header, kOnePage));
    ASSERT_TRUE(book.valid);
    TMemoryStream other;
    Fill(other, "not a book at all");
    EXPECT_FALSE(book.reader.LoadFromStream(other));
    EXPECT_EQ(book.reader.Pages().Count(), 0);
    EXPECT_EQ(book.reader.aboutText(), "");
    EXPECT_FALSE(book.reader.IsValid());
}
