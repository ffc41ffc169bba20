#include "book/BookWriter.h"
#include "book/tests/ContainerBuilder.h"

#include <gtest/gtest.h>

#include <zlib.h>

namespace {

std::string Save(const TBookWriter& writer, std::string_view prefix = {})
{
    TMemoryStream stream;
    stream.WriteString(prefix);
    writer.SaveToStream(stream);
    return stream.ToString();
}

TBookWriter SampleWriter(int compressionLevel = 9)
{
    TBookWriter writer;
    writer.compressionLevel = compressionLevel;
    writer.settings.title = "Guide";
    writer.settings.description = "How to read";
    writer.settings.hasAboutText = true;
    writer.settings.aboutText = "About us";
    writer.settings.hasAboutDate = true;
    writer.settings.aboutDate = 45000.5;
    writer.settings.display.sizeMode = WindowSizeMode::Normal;
    writer.settings.display.positionMode = WindowPositionMode::Custom;
    writer.settings.display.windowLeft = 11;
    writer.settings.display.windowTop = 22;
    writer.settings.display.windowWidth = 800;
    writer.settings.display.windowHeight = 600;
    writer.settings.display.showMenu = true;
    writer.settings.display.allowPrint = true;
    writer.settings.homePageIndex = 1;
    writer.AddPage("/a.htm", "<p>a</p>");
    writer.AddPage("/index.htm", std::string(10000, 'i'));
    writer.AddEmptyPage("/empty.htm");
    return writer;
}

} // namespace

TEST(BookWriter, MatchesTheIndependentlyBuiltBytes)
{
    const TBookWriter writer = SampleWriter(6);
    RawHeader header;
    header.title = "Guide";
    header.description = "How to read";
    header.hasAboutText = 1;
    header.aboutText = "About us";
    header.hasAboutDate = 1;
    header.aboutDate = 45000.5;
    header.sizeMode = 0;
    header.positionMode = 0;
    header.geometry = { 11, 22, 800, 600 };
    header.showMenu = 1;
    header.showToolbar = 0;
    header.resizable = 0;
    header.allowPrint = 1;
    header.allowContextMenu = 0;
    header.homePageIndex = 1;
    // The records hold the compressor's bytes; the layout around them is built independently.
    auto record = [](std::string_view content) {
        const std::string body = CompressPageBody(content, 6);
        return Bytes().Int32(static_cast<int32_t>(body.size())).Raw(body).data;
    };
    const std::vector<RawEntry> entries = { { "/a.htm", record("<p>a</p>"), std::nullopt },
        { "/index.htm", record(std::string(10000, 'i')), std::nullopt },
        { "/empty.htm", Bytes().Int32(0).data, std::nullopt } };
    EXPECT_EQ(Save(writer, std::string(333, 'M')), BuildContainer(header, entries, 333));
}

TEST(BookWriter, RoundTripsEverySettingThroughTheReader)
{
    LoadedBook book(Save(SampleWriter()));
    ASSERT_TRUE(book.valid);
    EXPECT_EQ(book.reader.title(), "Guide");
    EXPECT_EQ(book.reader.aboutDate(), 45000.5);
    EXPECT_EQ(book.reader.DisplaySettings(), SampleWriter().settings.display);
    EXPECT_EQ(book.reader.GetHomePageName(), "/index.htm");
    EXPECT_EQ(book.Page("/index.htm"), std::string(10000, 'i'));
    EXPECT_EQ(book.Page("/empty.htm"), "");
}

TEST(BookWriter, WritesOnlyTheGeometryTheModesCarry)
{
    struct Shape {
        WindowSizeMode size;
        WindowPositionMode position;
        DisplaySettings expected;
    };
    for (const Shape& shape : { Shape { WindowSizeMode::Normal, WindowPositionMode::DesktopCenter, {} },
             Shape { WindowSizeMode::FullScreen, WindowPositionMode::Custom, {} } }) {
        TBookWriter writer = SampleWriter();
        writer.settings.display.sizeMode = shape.size;
        writer.settings.display.positionMode = shape.position;
        LoadedBook book(Save(writer));
        ASSERT_TRUE(book.valid);
        const DisplaySettings& display = book.reader.DisplaySettings();
        EXPECT_EQ(display.windowLeft, 0);
        EXPECT_EQ(display.windowTop, 0);
        const bool carriesSize = shape.size == WindowSizeMode::Normal;
        EXPECT_EQ(display.windowWidth, carriesSize ? 800 : 0);
        EXPECT_EQ(display.windowHeight, carriesSize ? 600 : 0);
        EXPECT_EQ(book.Page("/a.htm"), "<p>a</p>");
    }
}

TEST(BookWriter, SameInputGivesTheSameBytes)
{
    EXPECT_EQ(Save(SampleWriter()), Save(SampleWriter()));
}

TEST(BookWriter, ShiftsEveryPositionByWhatPrecedesTheContainer)
{
    const std::string plain = Save(SampleWriter());
    const std::string stubbed = Save(SampleWriter(), std::string(200000, '\x7F'));
    ASSERT_EQ(stubbed.size(), plain.size() + 200000);
    LoadedBook book(stubbed);
    ASSERT_TRUE(book.valid);
    EXPECT_EQ(book.reader.headerOffset(), 200000);
    EXPECT_EQ(book.reader.PageOffset(0), LoadedBook(plain).reader.PageOffset(0) + 200000);
    EXPECT_EQ(book.Page("/a.htm"), "<p>a</p>");
}
