#include "book/Streamer.h"
#include "book/tests/ContainerBuilder.h"
#include "common/Exception.h"

#include <gtest/gtest.h>

TEST(Streamer, ReadsLittleEndianValues)
{
    TMemoryStream stream;
    Fill(stream, Bytes().Int32(-2).Byte(0xAB).Raw("\x01\x02\x03\x04\x05\x06\x07\x08").data);
    TStreamer streamer(stream);
    int32_t i = 0;
    uint8_t b = 0;
    uint64_t q = 0;
    streamer.ReadInt32(i);
    streamer.ReadByte(b);
    streamer.Read64(q);
    EXPECT_EQ(i, -2);
    EXPECT_EQ(b, 0xAB);
    EXPECT_EQ(q, 0x0807060504030201ULL);
    EXPECT_EQ(streamer.GetPosition(), 13);
}

TEST(Streamer, CountOfZeroOrLessIsEmptyAndConsumesNoText)
{
    TMemoryStream stream;
    Fill(stream, Bytes().Int32(-5).Int32(0).Str("xy").data);
    TStreamer streamer(stream);
    std::string text = "old";
    streamer.ReadString(text);
    EXPECT_EQ(text, "");
    streamer.ReadString(text);
    EXPECT_EQ(text, "");
    streamer.ReadString(text);
    EXPECT_EQ(text, "xy");
}

TEST(Streamer, ShortReadsRaiseAndLeaveTheValueUntouched)
{
    TMemoryStream stream;
    Fill(stream, "\x01\x02\x03");
    TStreamer streamer(stream);
    int32_t value = 77;
    EXPECT_THROW(streamer.ReadInt32(value), EReadError);
    EXPECT_EQ(value, 77);
    uint64_t wide = 5;
    streamer.Seek(0);
    EXPECT_THROW(streamer.Read64(wide), EReadError);
    EXPECT_EQ(wide, 5u);
}

TEST(Streamer, StringCountBeyondTheStreamRaisesWithoutReading)
{
    TMemoryStream stream;
    Fill(stream, Bytes().Int32(6).Raw("abcde").data); // one byte short
    TStreamer streamer(stream);
    std::string text = "keep";
    EXPECT_THROW(streamer.ReadString(text), EReadError);
    EXPECT_EQ(text, "keep");
    stream.Clear();
    Fill(stream, Bytes().Int32(INT32_MAX).data);
    EXPECT_THROW(streamer.ReadString(text), EReadError);
}

TEST(Streamer, SeekOutsideTheStreamRaises)
{
    TMemoryStream stream;
    Fill(stream, "1234");
    TStreamer streamer(stream);
    EXPECT_THROW(streamer.Seek(-1), EReadError);
    EXPECT_THROW(streamer.Seek(5), EReadError);
    streamer.Seek(4); // the end itself is a position
    EXPECT_EQ(streamer.GetPosition(), 4);
    EXPECT_EQ(streamer.GetSize(), 4);
}
