// The contents a book keeps: the compact form new books write and the JSON form older books hold
// read alike, damage is refused, and a book whose stored contents do not read falls back to its
// home page.

#include "sources/StoredContents.h"
#include "book/BookReader.h"
#include "book/BookWriter.h"
#include "sources/BookFileSource.h"
#include "sources/ContentsReading.h"
#include "sources/SourceContents.h"
#include "sources/tests/ContentsOutline.h"

#include <gtest/gtest.h>

namespace {

TStoredContents Sample()
{
    TStoredContents stored;
    stored.openAtStart = true;
    stored.entries = {
        { "Part \"1\" é", "/a.html", "", { { "Sec\tone", "/a.html", "s\\1", { { "Deep", "/b c.html", "x", {} } } } } },
        { "Heading only", "", "", { { "Line\nbreak", "/b c.html", "", {} }, { "Back\\slash\\", "/a.html", "", {} } } },
        { "", "/tab\tname.html", "anchor\nwith break", {} },
    };
    return stored;
}

// A flat list of `count` entries, or a chain `count` levels deep.
TStoredContents Many(std::size_t count, bool nested)
{
    TStoredContents stored;
    TContents* into = &stored.entries;
    for (std::size_t i = 0; i < count; ++i) {
        into->push_back({ "E" + std::to_string(i), "/p" + std::to_string(i % 7) + ".html", "", {} });
        if (nested)
            into = &into->back().children;
    }
    return stored;
}

TEST(StoredContents, BothFormsReadTheSameContents)
{
    for (const bool open : { true, false }) {
        TStoredContents stored = Sample();
        stored.openAtStart = open;
        const auto compact = ParseStoredContents(StoredContentsText(stored));
        const auto json = ParseStoredContents(StoredContentsJson(stored));
        ASSERT_TRUE(compact);
        ASSERT_TRUE(json);
        EXPECT_EQ(Outline(compact->entries), Outline(stored.entries));
        EXPECT_EQ(Outline(json->entries), Outline(stored.entries));
        EXPECT_EQ(compact->openAtStart, open);
        EXPECT_EQ(json->openAtStart, open);
    }
    // Each page's name is written once, however many entries open it.
    const std::string text = StoredContentsText(Many(700, false));
    EXPECT_EQ(text.find("/p3.html"), text.rfind("/p3.html"));
    const auto empty = ParseStoredContents(StoredContentsText({}));
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->entries.empty());
}

TEST(StoredContents, RefusesADamagedCompactForm)
{
    const std::string text = StoredContentsText(Sample());
    // Cut anywhere, it is refused: every line ends with its line end and the counts must hold.
    for (std::size_t size = 0; size < text.size(); ++size)
        EXPECT_FALSE(ParseStoredContents(text.substr(0, size))) << size;
    EXPECT_FALSE(ParseStoredContents(text + "0\t0\t\tExtra\n"));

    auto replaced = [&](std::string_view from, std::string_view to) {
        std::string changed = text;
        const std::size_t at = changed.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return changed.replace(at, from.size(), to);
    };
    for (const std::string& bad : {
             replaced("ebook-contents 2", "ebook-contents 3"), // a later version
             replaced("open 1", "open 2"), replaced("pages 3", "pages 4"), // the names run into the entries
             replaced("pages 3", "pages 18446744073709551615"), // a count no text holds
             replaced("entries 7", "entries 8"), replaced("entries 7", "entries 6"),
             replaced("\n1\t0\ts", "\n2\t0\ts"), // two levels below the entry before
             replaced("\n0\t0\t", "\n1\t0\t"), // the first entry below nothing
             replaced("\t1\t\tLine", "\t3\t\tLine"), // a page past the table
             replaced("\t1\t\tLine", "\t-1\t\tLine"),
             replaced("Back\\\\slash", "Back\\slash"), // an escape the form has not
             replaced("Heading only", "Heading\tonly"), // a fifth field
             replaced("/a.html\n", "\n"), // an empty page name
         })
        EXPECT_FALSE(ParseStoredContents(bad)) << bad;
    for (const char* bad : { "", "[]", "{\"contents\": 3}", "{\"contents\": [1]}", "{\"open\": true}",
             "{\"contents\": [{\"children\": 2}]}", "{\"contents\": [[]]}", "{\"contents\": [] } x" })
        EXPECT_FALSE(ParseStoredContents(bad)) << bad;
}

TEST(StoredContents, KeepsTheBoundsInEitherForm)
{
    for (const bool nested : { false, true }) {
        const TStoredContents stored = Many(nested ? 200 : kMaxStoredContentsEntries + 5, nested);
        for (const std::string& text : { StoredContentsText(stored), StoredContentsJson(stored) }) {
            const auto read = ParseStoredContents(text);
            ASSERT_TRUE(read);
            if (nested) {
                EXPECT_EQ(ContentsDepth(read->entries), kMaxStoredContentsDepth);
            } else {
                EXPECT_EQ(CountEntries(read->entries), kMaxStoredContentsEntries);
                EXPECT_EQ(read->entries.back().title, "E" + std::to_string(kMaxStoredContentsEntries - 1));
            }
        }
    }
    // JSON members the form does not know are passed over, whatever they hold.
    const auto read = ParseStoredContents(
        R"({"v": {"contents": [1]}, "contents": [{"title": 5, "x": [[{}]], "page": "/a.html", "children": []}]})");
    ASSERT_TRUE(read);
    EXPECT_EQ(Outline(read->entries), ">/a.html\n");
}

// A book with a home page that lists two pages, and stored contents under `name`.
std::string BookWithContents(std::string_view name, const std::string& stored)
{
    TBookWriter writer;
    writer.AddPage(
        "/index.html", R"(<ul><li><a href="a.html">Home A</a></li><li><a href="b.html">Home B</a></li></ul>)");
    writer.AddPage(std::string(name), stored);
    writer.AddPage("/a.html", "<title>A</title>");
    writer.AddPage("/b.html", "<title>B</title>");
    writer.settings.homePageIndex = 0;
    TMemoryStream stream;
    writer.SaveToStream(stream);
    return std::string(stream.BytesInMemory(), static_cast<std::size_t>(stream.Size()));
}

TEST(StoredContents, ABookReadsEitherEntryAndFallsBackWhenItIsDamaged)
{
    TStoredContents stored;
    stored.entries = { { "Stored", "/b.html", "", {} } };
    const std::string text = StoredContentsText(stored);
    const struct {
        std::string_view name;
        std::string bytes;
        std::string outline;
    } cases[] = {
        { kContentsEntryName, text, "Stored>/b.html\n" },
        { kJsonContentsEntryName, StoredContentsJson(stored), "Stored>/b.html\n" },
        { kContentsEntryName, text.substr(0, text.size() - 1), "Home A>/a.html\nHome B>/b.html\n" },
        { kJsonContentsEntryName, "{\"contents\": [", "Home A>/a.html\nHome B>/b.html\n" },
    };
    for (const auto& [name, bytes, outline] : cases) {
        const std::string book = BookWithContents(name, bytes);
        TMemoryStream stream;
        stream.WriteBuffer(book.data(), static_cast<int64_t>(book.size()));
        TBookReader reader;
        ASSERT_TRUE(reader.LoadFromStream(stream));
        TBookFileSource source(reader);
        EXPECT_EQ(Outline(ContentsOfSource(source)), outline) << name << " " << bytes;
    }
}

} // namespace
