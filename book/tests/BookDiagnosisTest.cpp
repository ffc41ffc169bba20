// What the viewer tells a reader about a file it cannot show: each way of failing named.

#include "book/BookDiagnosis.h"
#include "book/BookWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string BookBytes(int pages, int32_t homePageIndex = -1)
{
    TBookWriter writer;
    writer.settings.title = "Diagnosed";
    writer.settings.homePageIndex = homePageIndex;
    for (int i = 0; i < pages; ++i)
        writer.AddPage("/page" + std::to_string(i) + ".htm", "<p>page</p>");
    TMemoryStream stream;
    writer.SaveToStream(stream);
    return stream.ToString();
}

int32_t TrailerOf(const std::string& bytes)
{
    int32_t value = 0;
    std::memcpy(&value, bytes.data() + bytes.size() - 4, 4);
    return value;
}

std::string Why(const std::string& bytes)
{
    TMemoryStream stream;
    stream.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
    return WhyNotABook(stream);
}

} // namespace

TEST(BookDiagnosis, NamesEachWayAFileFailsToBeABookAndNothingForAGoodOne)
{
    const std::string good = BookBytes(2);
    EXPECT_EQ(Why(good), "");
    EXPECT_EQ(Why("ab"), "no trailer (the file is shorter than 4 bytes)");
    EXPECT_EQ(Why("#!/bin/sh\necho this is a script\n"), "no trailer (its last 4 bytes point outside the file)");

    std::string magic = good;
    magic[static_cast<std::size_t>(TrailerOf(good)) + 4] ^= 0x20; // a letter of the magic
    EXPECT_EQ(Why(magic), "wrong magic (no book header where its trailer points)");

    // The header's title claims more bytes than the file holds.
    std::string header = good;
    const int32_t huge = 0x7ffffff0;
    std::memcpy(header.data() + TrailerOf(good) + 10, &huge, 4);
    EXPECT_EQ(Why(header), "damaged header");

    // The directory's first name claims more bytes than the file holds.
    std::string directory = good;
    const std::size_t directoryAt = directory.size() - 4 - (2 * (4 + 10 + 4)) - 4;
    std::memcpy(directory.data() + directoryAt + 4, &huge, 4);
    EXPECT_EQ(Why(directory), "damaged page directory");

    EXPECT_EQ(Why(BookBytes(0)), "no pages");
    EXPECT_EQ(Why(BookBytes(2, 5)), "no home page (its index lies outside the page directory)");
}
