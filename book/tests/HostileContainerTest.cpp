#include "book/BookFormat.h"
#include "book/tests/AllocationProbe.h"
#include "book/tests/ContainerBuilder.h"

#include <gtest/gtest.h>

namespace {

std::string GoodBook()
{
    RawHeader header;
    header.sizeMode = 0;
    header.geometry = { 1, 2, 3, 4 };
    header.hasAboutText = 1;
    header.aboutText = "about";
    return BuildContainer(header,
        { { "/index.htm", PageRecord("<p>index</p>"), std::nullopt }, { "/b.htm", PageRecord("bbbb"), std::nullopt } });
}

} // namespace

TEST(HostileContainer, FilesTooShortForTheTrailerAreInvalid)
{
    for (std::string bytes : { "", "\x00", "\x00\x00", "\x00\x00\x00" }) {
        LoadedBook book(bytes);
        EXPECT_FALSE(book.valid) << bytes.size();
    }
}

TEST(HostileContainer, HeaderPositionOutsideTheFileIsInvalid)
{
    for (int32_t offset : { -1, INT32_MIN, 1 << 30, 4 }) {
        std::string bytes = GoodBook();
        Bytes patched { bytes };
        patched.PatchInt32(bytes.size() - 4, offset);
        LoadedBook book(patched.data);
        EXPECT_FALSE(book.valid) << offset;
    }
}

TEST(HostileContainer, StringCountsBeyondTheFileAreInvalid)
{
    // The title's count sits right after the 10-byte magic string.
    for (int32_t count : { INT32_MAX, 1 << 30, 100000 }) {
        Bytes patched { GoodBook() };
        patched.PatchInt32(10, count);
        LoadedBook book(patched.data);
        EXPECT_FALSE(book.valid) << count;
        EXPECT_EQ(book.reader.title(), "") << "no text is built from bytes that were not read";
    }
    Bytes magicCount { GoodBook() };
    magicCount.PatchInt32(0, INT32_MAX);
    EXPECT_FALSE(LoadedBook(magicCount.data).valid);
}

TEST(HostileContainer, HostileLengthsAllocateNothingOfTheirSize)
{
    // A fair allowance for the reader's own buffers; every hostile value below is far larger.
    constexpr std::size_t kAllowance = 64 * 1024;
    Bytes title { GoodBook() };
    title.PatchInt32(10, INT32_MAX);
    TMemoryStream titleStream;
    Fill(titleStream, title.data);
    TBookReader titleReader;
    {
        AllocationProbe probe;
        EXPECT_FALSE(titleReader.LoadFromStream(titleStream));
        EXPECT_LT(probe.Largest(), kAllowance);
    }

    Bytes stored;
    stored.Int32(INT32_MAX).Int32(3).Raw(ZlibOf("abc"));
    Bytes inflated;
    inflated.Int32(12).Int32(INT32_MAX).Raw(ZlibOf("abc"));
    for (const std::string& record : { stored.data, inflated.data, RecordOf(kMaxPageSize, ZlibOf("abc")) }) {
        LoadedBook book(BuildContainer(RawHeader(), { { "/page.htm", record, std::nullopt } }));
        ASSERT_TRUE(book.valid);
        TMemoryStream page;
        AllocationProbe probe;
        EXPECT_FALSE(book.reader.ExtractPage("/page.htm", page));
        EXPECT_LT(probe.Largest(), kAllowance);
    }
}

TEST(HostileContainer, DirectoryCutShortKeepsTheEntriesReadSoFar)
{
    RawHeader header;
    std::string bytes = BuildContainer(
        header, { { "/one.htm", PageRecord("1"), std::nullopt }, { "/two.htm", PageRecord("2"), std::nullopt } });
    LoadedBook probe(bytes);
    Bytes patched { bytes };
    patched.PatchInt32(static_cast<std::size_t>(probe.reader.directoryOffset()), 1000000);
    LoadedBook book(patched.data);
    EXPECT_FALSE(book.valid);
    // Entry 3 begins with the trailer's bytes read as a count, which runs past the end.
    EXPECT_EQ(book.reader.Pages().Count(), 2);
    EXPECT_EQ(book.Page("/two.htm"), "2") << "entries read before the failure still answer";
}

TEST(HostileContainer, AnnouncedSizesBeyondTheLimitsFailBeforeAllocating)
{
    const std::string tiny = ZlibOf("abc");
    for (int32_t size : { INT32_MAX, kMaxPageSize + 1, 1 << 24 }) {
        LoadedBook book(BuildContainer(RawHeader(), { { "/huge.htm", RecordOf(size, tiny), std::nullopt } }));
        ASSERT_TRUE(book.valid);
        EXPECT_EQ(book.Page("/huge.htm"), std::nullopt) << size;
    }
    Bytes record;
    record.Int32(INT32_MAX).Int32(3).Raw(tiny);
    LoadedBook book(BuildContainer(RawHeader(), { { "/long.htm", record.data, std::nullopt } }));
    EXPECT_EQ(book.Page("/long.htm"), std::nullopt);
}

TEST(HostileContainer, EveryTruncationAndEverySingleByteDamageIsSurvived)
{
    // Run under the sanitizer build this shows that no damage reads or writes out of bounds.
    const std::string good = GoodBook();
    for (std::size_t cut = 0; cut < good.size(); ++cut) {
        LoadedBook book(good.substr(0, cut));
        EXPECT_FALSE(
            book.valid && book.reader.Pages().Count() == 2 && book.Page("/b.htm") == "bbbb" && cut < good.size() - 4)
            << cut;
    }
    int validAfterDamage = 0;
    for (std::size_t at = 0; at < good.size(); ++at) {
        for (uint8_t value : { 0x00, 0x80, 0xFF }) {
            std::string damaged = good;
            damaged[at] = static_cast<char>(value);
            LoadedBook book(damaged);
            validAfterDamage += book.valid ? 1 : 0;
            for (int i = 0; i < book.reader.Pages().Count(); ++i) {
                TMemoryStream page;
                book.reader.ExtractPageAt(i, page);
            }
        }
    }
    EXPECT_GT(validAfterDamage, 0) << "damage to page bytes alone leaves the container loadable";
}
