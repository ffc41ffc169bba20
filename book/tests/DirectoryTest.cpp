#include "book/tests/ContainerBuilder.h"
#include "common/Exception.h"

#include <gtest/gtest.h>

namespace {

std::vector<RawEntry> Entries(std::initializer_list<std::pair<std::string, std::string>> pages)
{
    std::vector<RawEntry> entries;
    for (const auto& [name, content] : pages)
        entries.push_back({ name, PageRecord(content), std::nullopt });
    return entries;
}

std::string HomeFailure(int32_t homePageIndex, const std::vector<RawEntry>& entries)
{
    RawHeader header;
    header.homePageIndex = homePageIndex;
    LoadedBook book(BuildContainer(header, entries));
    EXPECT_TRUE(book.valid);
    try {
        book.reader.GetHomePageName();
    } catch (const EListError& error) {
        return error.Message();
    }
    return "no error";
}

} // namespace

TEST(Directory, EntriesWithExtraByteWhenExtraModeIsSet)
{
    RawHeader header;
    header.entryExtraMode = 1;
    auto entries = Entries({ { "/a.htm", "A" }, { "/b.htm", "B" } });
    entries[0].extraByte = 0x7F;
    entries[1].extraByte = 0;
    LoadedBook book(BuildContainer(header, entries));
    ASSERT_TRUE(book.valid);
    ASSERT_EQ(book.reader.Pages().Count(), 2);
    EXPECT_EQ(book.reader.Pages()[1], "/b.htm");
    EXPECT_EQ(book.Page("/b.htm"), "B");
}

TEST(Directory, EmptyOrNegativeCountIsAValidBookWithoutPages)
{
    for (int32_t count : { 0, -3 }) {
        RawHeader header;
        std::string bytes = BuildContainer(header, {});
        // The directory is the 4-byte count right before the trailer.
        Bytes patched { bytes };
        patched.PatchInt32(bytes.size() - 8, count);
        LoadedBook book(patched.data);
        EXPECT_TRUE(book.valid);
        EXPECT_EQ(book.reader.Pages().Count(), 0);
        EXPECT_EQ(book.Page("/index.htm"), std::nullopt);
    }
}

TEST(Directory, HomePageIndexMinusOneAndZeroBothSelectTheFirstEntry)
{
    const auto entries = Entries({ { "/first.htm", "1" }, { "/second.htm", "2" }, { "/third.htm", "3" } });
    for (int32_t index : { -1, 0 }) {
        RawHeader header;
        header.homePageIndex = index;
        LoadedBook book(BuildContainer(header, entries));
        EXPECT_EQ(book.reader.GetHomePageName(), "/first.htm");
    }
    RawHeader header;
    header.homePageIndex = 2;
    LoadedBook book(BuildContainer(header, entries));
    EXPECT_EQ(book.reader.GetHomePageName(), "/third.htm");
}

TEST(Directory, HomePageIndexOutsideTheDirectoryRaisesTheListError)
{
    EXPECT_EQ(HomeFailure(-1, {}), "List index out of bounds (0)");
    const auto three = Entries({ { "/a", "a" }, { "/b", "b" }, { "/c", "c" } });
    EXPECT_EQ(HomeFailure(5, three), "List index out of bounds (5)");
    EXPECT_EQ(HomeFailure(3, three), "List index out of bounds (3)");
    EXPECT_EQ(HomeFailure(-2, three), "List index out of bounds (-2)");
}

TEST(DirectoryLookup, DuplicatesInDifferentCaseFindTheFirst)
{
    LoadedBook book(BuildContainer(RawHeader(), Entries({ { "/A.htm", "upper" }, { "/a.htm", "lower" } })));
    ASSERT_EQ(book.reader.Pages().Count(), 2) << "duplicates are kept";
    EXPECT_EQ(book.Page("/A.HTM"), "upper");
    EXPECT_EQ(book.Page("/a.htm"), "upper");
    TMemoryStream second;
    ASSERT_TRUE(book.reader.ExtractPageAt(1, second));
    EXPECT_EQ(second.ToString(), "lower");
}

TEST(DirectoryLookup, ComparesWholeNamesWithoutTrimmingOrDecoding)
{
    LoadedBook book(
        BuildContainer(RawHeader(), Entries({ { "/my page.htm", "spaced" }, { "/\xC4pfel.htm", "apple" } })));
    EXPECT_EQ(book.Page("/my page.htm"), "spaced");
    EXPECT_EQ(book.Page("/my page.htm "), std::nullopt);
    EXPECT_EQ(book.Page(" /my page.htm"), std::nullopt);
    EXPECT_EQ(book.Page("/my%20page.htm"), std::nullopt);
    EXPECT_EQ(book.Page("/my page"), std::nullopt);
    EXPECT_EQ(book.Page("/\xE4PFEL.HTM"), "apple") << "Windows-1252 letters fold too";
}

TEST(DirectoryLookup, PagesListKeepsDirectoryOrderAndPositions)
{
    const std::string bytes = BuildContainer(RawHeader(), Entries({ { "/z.htm", "z" }, { "/a.htm", "a" } }), 100);
    LoadedBook book(bytes);
    ASSERT_EQ(book.reader.Pages().Count(), 2);
    EXPECT_EQ(book.reader.Pages()[0], "/z.htm");
    EXPECT_EQ(book.reader.Pages()[1], "/a.htm");
    // The first record follows the header, whose last field is the directory position.
    EXPECT_EQ(
        book.reader.PageOffset(0), book.reader.directoryOffset() - static_cast<int32_t>(2 * PageRecord("z").size()));
    EXPECT_EQ(book.reader.PageOffset(1), book.reader.PageOffset(0) + static_cast<int32_t>(PageRecord("z").size()));
    EXPECT_EQ(book.reader.headerOffset(), 100);
}

TEST(Directory, NamesMatchInEveryScriptAndEitherEncodingTheFirstEntryWinning)
{
    // "/Книга.htm" (UTF-8), "/книга.htm" (a later entry differing only in case), "/Café.htm" in
    // Windows-1252 and "/naïve.htm" in UTF-8.
    const std::string upperBook = "/\xD0\x9A\xD0\xBD\xD0\xB8\xD0\xB3\xD0\xB0.htm";
    const std::string lowerBook = "/\xD0\xBA\xD0\xBD\xD0\xB8\xD0\xB3\xD0\xB0.htm";
    LoadedBook book(BuildContainer(RawHeader(),
        Entries({ { upperBook, "first" }, { lowerBook, "second" }, { "/Caf\xE9.htm", "cafe" },
            { "/na\xC3\xAFve.htm", "naive" }, { "/A.htm", "A" }, { "/a.htm", "a" } })));
    ASSERT_TRUE(book.valid);
    EXPECT_EQ(book.Page(lowerBook), "first");
    EXPECT_EQ(book.Page("/\xD0\x9A\xD0\x9D\xD0\x98\xD0\x93\xD0\x90.HTM"), "first");
    EXPECT_EQ(book.reader.IndexOfPage(lowerBook), 0);
    EXPECT_EQ(book.Page("/caf\xC3\xA9.htm"), "cafe") << "a UTF-8 request finds a Windows-1252 name";
    EXPECT_EQ(book.Page("/CAF\xC9.HTM"), "cafe");
    EXPECT_EQ(book.Page("/NA\xCFVE.htm"), "naive") << "a Windows-1252 request finds a UTF-8 name";
    EXPECT_EQ(book.Page("/A.HTM"), "A");
    EXPECT_EQ(book.Page("/\xD0\xBA\xD0\xBD\xD0\xB8\xD0\xB3.htm"), std::nullopt);
    EXPECT_EQ(book.Page("/a.htm "), std::nullopt);
}

TEST(Directory, LookupFindsEveryEntryOfALargeDirectory)
{
    std::vector<RawEntry> entries;
    const std::string empty = RecordOf(0, ZlibOf(""));
    for (int i = 0; i < 20000; ++i)
        entries.push_back({ "/p" + std::to_string(i) + ".htm", empty, std::nullopt });
    // A name longer than the blocks the directory is read in.
    entries[10000].name = "/" + std::string(40000, 'x') + ".htm";
    LoadedBook book(BuildContainer(RawHeader(), entries));
    ASSERT_TRUE(book.valid);
    ASSERT_EQ(book.reader.Pages().Count(), 20000);
    for (int i = 0; i < 20000; ++i)
        ASSERT_EQ(book.reader.Pages()[i], entries[static_cast<std::size_t>(i)].name) << i;
    for (int i : { 0, 1, 9999, 19999 })
        EXPECT_EQ(book.reader.IndexOfPage("/P" + std::to_string(i) + ".HTM"), i);
    EXPECT_EQ(book.reader.IndexOfPage("/p20000.htm"), -1);
}
