#include "common/Streams.h"
#include "common/Exception.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

TEST(MemoryStream, GrowingFillsWithZerosAndKeepsData)
{
    TMemoryStream stream;
    stream.WriteString("abc");
    stream.SetSize(10);
    EXPECT_EQ(stream.View(), std::string("abc\0\0\0\0\0\0\0", 10));
    stream.SetSize(2);
    stream.SetSize(4);
    EXPECT_EQ(stream.View(), std::string("ab\0\0", 4)); // the cut byte does not come back
}

TEST(MemoryStream, ReadBufferPastTheEndRaises)
{
    TMemoryStream stream;
    stream.WriteString("12345");
    stream.SetPosition(3);
    char buffer[4];
    EXPECT_THROW(stream.ReadBuffer(buffer, 3), EReadError);
    stream.SetPosition(1);
    stream.ReadBuffer(buffer, 4);
    EXPECT_EQ(std::string(buffer, 4), "2345");
}

TEST(MemoryStream, WritePastTheEndLeavesZeroGap)
{
    TMemoryStream stream;
    stream.SetPosition(3);
    stream.WriteString("x");
    EXPECT_EQ(stream.View(), std::string("\0\0\0x", 4));
}

TEST(MemoryStream, CopyFromCopiesCountOrWholeSource)
{
    TMemoryStream source;
    source.WriteString("hello world");
    source.SetPosition(6);
    TMemoryStream target;
    EXPECT_EQ(target.CopyFrom(source, 5), 5);
    EXPECT_EQ(target.ToString(), "world");
    source.SetPosition(8);
    TMemoryStream whole;
    whole.CopyFrom(source, 0);
    EXPECT_EQ(whole.ToString(), "hello world");
    source.SetPosition(8);
    EXPECT_THROW(target.CopyFrom(source, 10), EReadError);
}

TEST(FileStream, ReadsAndReportsMissingFileByName)
{
    const auto path = std::filesystem::temp_directory_path() / ("streams_test_" + std::to_string(::getpid()));
    {
        TFileStream out(path.string(), TFileStream::Mode::Create);
        out.WriteString("0123456789");
    }
    TFileStream in(path.string(), TFileStream::Mode::OpenRead);
    EXPECT_EQ(in.Size(), 10);
    in.SetPosition(7);
    char buffer[5];
    EXPECT_EQ(in.Read(buffer, 5), 3);
    EXPECT_THROW(in.ReadBuffer(buffer, 1), EReadError);
    std::filesystem::remove(path);

    try {
        TFileStream missing("/nonexistent/book.ebook", TFileStream::Mode::OpenRead);
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_NE(e.Message().find("/nonexistent/book.ebook"), std::string::npos);
    }
    EXPECT_THROW(
        TFileStream(std::filesystem::temp_directory_path().string(), TFileStream::Mode::OpenRead), EFOpenError);
}
