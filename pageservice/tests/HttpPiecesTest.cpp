// The pieces the web answer policy is made of, each against the cases a client may send.

#include "book/BookReader.h"
#include "book/BookWriter.h"
#include "pageservice/ByteRanges.h"
#include "pageservice/CompressedBodies.h"
#include "pageservice/ContentCoding.h"
#include "pageservice/EntityTags.h"
#include "pageservice/HttpDate.h"
#include "pageservice/ServedPages.h"

#include <gtest/gtest.h>
#include <zlib.h>

TEST(HttpDate, WrittenAsImfFixdateAndReadInEveryFormClientsSend)
{
    EXPECT_EQ(FormatHttpDate(784111777), "Sun, 06 Nov 1994 08:49:37 GMT");
    EXPECT_EQ(FormatHttpDate(0), "Thu, 01 Jan 1970 00:00:00 GMT");
    EXPECT_EQ(ParseHttpDate("Sun, 06 Nov 1994 08:49:37 GMT"), 784111777);
    EXPECT_EQ(ParseHttpDate("Sunday, 06-Nov-94 08:49:37 GMT"), 784111777);
    EXPECT_EQ(ParseHttpDate("Sun Nov  6 08:49:37 1994"), 784111777);
    EXPECT_EQ(ParseHttpDate(FormatHttpDate(1700000123)), 1700000123);
    for (const char* wrong : { "", "yesterday", "Sun, 06 Nov 1994 08:49:37 GMT; length=12",
             "Sun, 06 Foo 1994 08:49:37 GMT", "Sun, 06 Nov 1994 25:49:37 GMT", "\"abc\"" })
        EXPECT_FALSE(ParseHttpDate(wrong)) << wrong;
}

TEST(ByteRanges, OneRangeIsServedAndEverythingElseIsTheWholeBody)
{
    using Kind = TByteRangeChoice::Kind;
    const auto partial = [](std::string_view header, int64_t total, int64_t first, int64_t count) {
        const TByteRangeChoice choice = ChooseByteRange(header, total);
        EXPECT_EQ(choice.kind, Kind::Partial) << header;
        EXPECT_EQ(choice.first, first) << header;
        EXPECT_EQ(choice.count, count) << header;
    };
    partial("bytes=0-99", 1000, 0, 100);
    partial("Bytes=10-", 1000, 10, 990);
    partial("bytes=-1", 1000, 999, 1);
    partial("bytes=990-5000", 1000, 990, 10);
    partial("bytes=-5000", 1000, 0, 1000);
    partial("bytes=4294967296-4294967297", int64_t { 5 } << 30, int64_t { 4 } << 30, 2);
    for (const char* unsatisfiable : { "bytes=1000-", "bytes=1000-1001", "bytes=-0" })
        EXPECT_EQ(ChooseByteRange(unsatisfiable, 1000).kind, Kind::Unsatisfiable) << unsatisfiable;
    EXPECT_EQ(ChooseByteRange("bytes=-5", 0).kind, Kind::Unsatisfiable);
    EXPECT_EQ(ChooseByteRange("bytes=0-", 0).kind, Kind::Unsatisfiable);
    for (const char* whole : { "", "bytes=0-1,3-4", "items=0-1", "bytes=5-4", "bytes=a-b", "bytes=-", "bytes=0",
             "bytes=+1-2", "bytes=-+3", "bytes=99999999999999999999-" })
        EXPECT_EQ(ChooseByteRange(whole, 1000).kind, Kind::Whole) << whole;
}

TEST(EntityTags, NoneMatchIsWeakAndIfRangeIsStrong)
{
    const std::string tag = TagOfBody("hello");
    EXPECT_EQ(tag, TagOfBody(std::string("hello")));
    EXPECT_NE(tag, TagOfBody("hellp"));
    EXPECT_NE(TagOfBody(std::string(3, '\0')), TagOfBody(std::string(4, '\0')));

    EXPECT_TRUE(NoneMatchHits("\"" + tag + "\"", tag));
    EXPECT_TRUE(NoneMatchHits("\"a,b\", W/\"" + tag + "\"", tag));
    EXPECT_TRUE(NoneMatchHits(" * ", tag));
    EXPECT_FALSE(NoneMatchHits("\"a,b\", \"" + tag + "x\"", tag));
    EXPECT_FALSE(NoneMatchHits(tag, tag)); // unquoted: no tag at all

    EXPECT_TRUE(IfRangeHolds("\"" + tag + "\"", tag, 0));
    EXPECT_FALSE(IfRangeHolds("W/\"" + tag + "\"", tag, 0));
    EXPECT_TRUE(IfRangeHolds("Sun, 06 Nov 1994 08:49:37 GMT", tag, 784111777));
    EXPECT_FALSE(IfRangeHolds("Sun, 06 Nov 1994 08:49:38 GMT", tag, 784111777));
    EXPECT_FALSE(IfRangeHolds("Thu, 01 Jan 1970 00:00:00 GMT", tag, 0));
}

TEST(ContentCoding, TextTypesAndWhatTheClientAccepts)
{
    for (const char* type : { "text/html", "text/css; charset=utf-8", "application/javascript", "application/json",
             "image/svg+xml", "application/xhtml+xml", "application/atom+xml;profile=opds-catalog", "TEXT/PLAIN" })
        EXPECT_TRUE(IsCompressibleType(type)) << type;
    for (const char* type : { "", "image/png", "video/webm", "application/zip", "application/octet-stream" })
        EXPECT_FALSE(IsCompressibleType(type)) << type;

    using C = TContentCoding;
    EXPECT_EQ(ChooseContentCoding("gzip, deflate, br, zstd", true), C::Deflate);
    EXPECT_EQ(ChooseContentCoding("gzip, deflate, br, zstd", false), C::Gzip);
    EXPECT_EQ(ChooseContentCoding("deflate", false), C::Deflate);
    EXPECT_EQ(ChooseContentCoding("gzip;q=1.0, deflate;q=0", true), C::Gzip);
    EXPECT_EQ(ChooseContentCoding("gzip;q=0.000", true), C::Identity);
    EXPECT_EQ(ChooseContentCoding("*", false), C::Gzip);
    EXPECT_EQ(ChooseContentCoding("*;q=0, identity", true), C::Identity);
    EXPECT_EQ(ChooseContentCoding("", true), C::Identity);
    EXPECT_EQ(ChooseContentCoding("GZIP", false), C::Gzip);

    const std::string text(100000, 'a');
    std::string inflated(text.size(), '\0');
    uLongf length = static_cast<uLongf>(inflated.size());
    const std::string zlibForm = CompressBody(text, C::Deflate);
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(inflated.data()), &length,
                  reinterpret_cast<const Bytef*>(zlibForm.data()), static_cast<uLong>(zlibForm.size())),
        Z_OK);
    EXPECT_EQ(inflated, text);
    const std::string gzipForm = CompressBody(text, C::Gzip);
    EXPECT_TRUE(gzipForm.starts_with("\x1f\x8b"));
    EXPECT_LT(gzipForm.size(), 1000u);
}

TEST(CompressedBodies, KeepsTheMostRecentlyUsedWithinItsCapacity)
{
    TCompressedBodies bodies(8000);
    const auto body = [](char c) { return std::make_shared<const std::string>(900, c); };
    for (char c = 'a'; c <= 'j'; ++c)
        bodies.Add(std::string(1, c), body(c));
    EXPECT_LE(bodies.UsedBytes(), 8000u);
    EXPECT_FALSE(bodies.Find("a")); // the oldest went first
    ASSERT_TRUE(bodies.Find("j"));
    EXPECT_EQ(*bodies.Find("j"), std::string(900, 'j'));
    ASSERT_TRUE(bodies.Find("c"));
    bodies.Add("k", body('k'));
    EXPECT_TRUE(bodies.Find("c")); // used just now: kept over older ones
    bodies.Add("huge", std::make_shared<const std::string>(1001, 'h')); // above an eighth
    EXPECT_FALSE(bodies.Find("huge"));
}

TEST(ServedPages, HandOutTheBooksZlibBytesOnlyWhenAsked)
{
    TBookWriter writer;
    const std::string page(50000, 'z');
    writer.AddPage("/a.htm", page);
    TMemoryStream book;
    writer.SaveToStream(book);
    book.SetPosition(0);
    TBookReader reader;
    ASSERT_TRUE(reader.LoadFromStream(book));

    TServedPages pages(reader, 1 << 20, 1 << 20);
    EXPECT_FALSE(pages.Lookup("/a.htm").deflated);
    pages.KeepStoredBytes(true);
    // The page was kept without them: a page inflated from now on has them, and so do its answers
    // after that, from the cache.
    TServedPages fresh(reader, 1 << 20, 1 << 20);
    fresh.KeepStoredBytes(true);
    for (int round = 0; round < 2; ++round) {
        const TPageLookup found = fresh.Lookup("/a.htm");
        ASSERT_TRUE(found.deflated);
        std::string inflated(page.size(), '\0');
        uLongf length = static_cast<uLongf>(inflated.size());
        ASSERT_EQ(
            uncompress(reinterpret_cast<Bytef*>(inflated.data()), &length,
                reinterpret_cast<const Bytef*>(found.deflated->data()), static_cast<uLong>(found.deflated->size())),
            Z_OK);
        EXPECT_EQ(inflated, page);
        EXPECT_EQ(*found.bytes, page);
        EXPECT_GE(fresh.HeldBytes(), page.size() + found.deflated->size());
    }
    EXPECT_EQ(fresh.Inflations(), 1u);
}
