#include "book/tests/ContainerBuilder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <unistd.h>
#include <zlib.h>

namespace {

const std::string kNextContent = "<html>next page</html>";

// A book with the record under test first and an intact page after it, so every test can also
// show that a failed extraction leaves the reader able to serve the next request.
struct RecordBook : LoadedBook {
    explicit RecordBook(const std::string& record)
        : LoadedBook(BuildContainer(RawHeader(),
            { { "/test.htm", record, std::nullopt }, { "/next.htm", PageRecord(kNextContent), std::nullopt } }))
    {
    }

    std::optional<std::string> Tested() { return Page("/test.htm"); }
    void ExpectNextStillWorks() { EXPECT_EQ(Page("/next.htm"), kNextContent); }
};

std::string BinaryContent(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string content(size, '\0');
    for (char& c : content)
        c = static_cast<char>(random() & 0xFF);
    return content;
}

std::string ZlibWithDictionary(std::string_view content)
{
    z_stream z {};
    deflateInit(&z, Z_DEFAULT_COMPRESSION);
    const std::string dictionary = "dictionary words";
    deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(dictionary.data()), static_cast<uInt>(dictionary.size()));
    std::string out(deflateBound(&z, static_cast<uLong>(content.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
    z.avail_in = static_cast<uInt>(content.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

} // namespace

TEST(PageExtraction, HtmlAndBinaryPagesComeBackByteExact)
{
    const std::string html = "<html><body>" + std::string(5000, 'x') + "</body></html>";
    const std::string binary = BinaryContent(1 << 20, 7);
    LoadedBook book(BuildContainer(RawHeader(),
        { { "/index.htm", PageRecord(html), std::nullopt }, { "/big.bin", PageRecord(binary), std::nullopt } }));
    EXPECT_EQ(book.Page("/index.htm"), html);
    EXPECT_EQ(book.Page("/BIG.bin"), binary);
    EXPECT_EQ(book.Page("/index.htm"), html) << "every request reads and inflates again";
}

TEST(PageExtraction, StoredLengthZeroIsAnEmptyPage)
{
    RecordBook book(Bytes().Int32(0).data);
    EXPECT_EQ(book.Tested(), "");
    book.ExpectNextStillWorks();
}

TEST(PageExtraction, ShortInflateKeepsTheAnnouncedLengthFilledWithZeros)
{
    RecordBook book(RecordOf(10, ZlibOf("abc")));
    EXPECT_EQ(book.Tested(), std::string("abc\0\0\0\0\0\0\0", 10));
    // Even over an output that was handed in holding bytes, nothing stale shows through.
    TMemoryStream used;
    used.WriteString("XXXXXXXXXXXX");
    used.SetPosition(0);
    ASSERT_TRUE(book.reader.ExtractPage("/test.htm", used));
    EXPECT_EQ(used.ToString(), std::string("abc\0\0\0\0\0\0\0", 10));
}

TEST(PageExtraction, InflatingOneByteMoreThanAnnouncedFails)
{
    RecordBook book(RecordOf(2, ZlibOf("abc")));
    EXPECT_EQ(book.Tested(), std::nullopt);
    book.ExpectNextStillWorks();
    RecordBook exact(RecordOf(3, ZlibOf("abc")));
    EXPECT_EQ(exact.Tested(), "abc");
}

TEST(PageExtraction, EmptyContentWithAnEmptyZlibStream)
{
    RecordBook book(RecordOf(0, ZlibOf("")));
    EXPECT_EQ(book.Tested(), "");
}

TEST(PageExtraction, BytesAfterTheZlibStreamAreIgnored)
{
    RecordBook book(RecordOf(3, ZlibOf("abc") + "trailing garbage"));
    EXPECT_EQ(book.Tested(), "abc");
}

TEST(PageExtraction, NegativeUncompressedSizeFails)
{
    RecordBook book(RecordOf(-1, ZlibOf("abc")));
    EXPECT_EQ(book.Tested(), std::nullopt);
    book.ExpectNextStillWorks();
}

class StoredLengthTooShort : public testing::TestWithParam<int32_t> { };

TEST_P(StoredLengthTooShort, FailsWithoutDisturbingTheNextPage)
{
    RecordBook book(Bytes().Int32(GetParam()).Raw("\x05\x00\x00\x00").data);
    EXPECT_EQ(book.Tested(), std::nullopt);
    book.ExpectNextStillWorks();
}

INSTANTIATE_TEST_SUITE_P(Lengths, StoredLengthTooShort, testing::Values(1, 2, 3, -1, -4, INT32_MIN));

TEST(DamagedPage, BadAdlerBadHeaderTruncatedAndDictionaryAllFail)
{
    const std::string content = "<p>" + std::string(300, 'q') + "</p>";
    const std::string good = ZlibOf(content);
    std::string badAdler = good;
    badAdler.back() = static_cast<char>(badAdler.back() ^ 0x01);
    std::string badHeader = good;
    badHeader[0] = 0x79;
    const std::string truncated = good.substr(0, good.size() - 6);
    const auto size = static_cast<int32_t>(content.size());
    for (const std::string& data : { badAdler, badHeader, truncated, std::string(), ZlibWithDictionary(content) }) {
        RecordBook book(RecordOf(size, data));
        EXPECT_EQ(book.Tested(), std::nullopt);
        book.ExpectNextStillWorks();
    }
}

TEST(DamagedPage, BodyCutShortByTheEndOfTheFileFails)
{
    // The last record claims more bytes than the rest of the file holds.
    const std::string record = PageRecord("cut short");
    Bytes claimed;
    claimed.Raw(record);
    claimed.PatchInt32(0, static_cast<int32_t>(record.size()) + 1000);
    LoadedBook book(BuildContainer(RawHeader(),
        { { "/next.htm", PageRecord(kNextContent), std::nullopt }, { "/cut.htm", claimed.data, std::nullopt } }));
    ASSERT_TRUE(book.valid);
    EXPECT_EQ(book.Page("/cut.htm"), std::nullopt);
    EXPECT_EQ(book.Page("/next.htm"), kNextContent);
}

TEST(DamagedPage, PagePositionOutsideTheFileFails)
{
    for (int32_t offset : { -8, 1 << 30 }) {
        std::string bytes = BuildContainer(RawHeader(),
            { { "/a.htm", PageRecord("a"), std::nullopt }, { "/next.htm", PageRecord(kNextContent), std::nullopt } });
        LoadedBook probe(bytes);
        // The first entry's position is the int32 after "/a.htm" in the directory.
        const std::size_t at = static_cast<std::size_t>(probe.reader.directoryOffset()) + 4 + 4 + 6;
        Bytes patched { bytes };
        patched.PatchInt32(at, offset);
        LoadedBook book(patched.data);
        ASSERT_TRUE(book.valid) << "positions are not checked at load time";
        EXPECT_EQ(book.Page("/a.htm"), std::nullopt);
        EXPECT_EQ(book.Page("/next.htm"), kNextContent);
    }
}

TEST(AppendedContainer, AfterA200000ByteStubOnDisk)
{
    const std::string bytes = BuildContainer(RawHeader(),
        { { "/index.htm", PageRecord("<h1>Stubbed</h1>"), std::nullopt },
            { "/x.bin", PageRecord("xyz"), std::nullopt } },
        200000);
    const auto path = std::filesystem::temp_directory_path() / ("stubbed-" + std::to_string(getpid()) + ".exe");
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    {
        TFileStream file(path.string(), TFileStream::Mode::OpenRead);
        TBookReader reader;
        ASSERT_TRUE(reader.LoadFromStream(file));
        EXPECT_EQ(reader.headerOffset(), 200000);
        EXPECT_EQ(reader.GetHomePageName(), "/index.htm");
        TMemoryStream page;
        ASSERT_TRUE(reader.ExtractPage("/x.bin", page));
        EXPECT_EQ(page.ToString(), "xyz");
        TMemoryStream home;
        ASSERT_TRUE(reader.ExtractPage("/index.htm", home));
        EXPECT_EQ(home.ToString(), "<h1>Stubbed</h1>");
    }
    std::filesystem::remove(path);
}
