#include "book/BookWriter.h"
#include "sources/StoredContents.h"
#include "sources/tests/SampleSources.h"
#include "tools/tests/BookFile.h"
#include "tools/tests/PackFixture.h"

#include <gtest/gtest.h>
#include <map>
#include <nlohmann/json.hpp>

namespace fs = std::filesystem;

namespace {

// Three pages about deflate, one that does not mention it, and a fourth whose record is damaged.
fs::path WriteSearchBook(const TempFolder& temp)
{
    TBookWriter writer;
    writer.AddPage("/deflate.htm", "<title>Deflate streams</title><p>How a deflate stream ends.</p>");
    writer.AddPage("/other.htm", "<title>Other</title><p>Nothing about it, but a deflate stream once.</p>");
    writer.AddPage("/caf\xE9.htm", "<title>Caf\xE9</title><p>deflate stream in Windows-1252 \x93quoted\x94</p>");
    writer.AddPage("/broken.htm", "<title>Broken</title><p>deflate stream</p>");
    writer.AddPage("/end.htm", "<p>last</p>");
    writer.AddPage("/\xE6\x97\xA5\xE6\x9C\xAC.htm", "<title>Japan</title><p>kanji here</p>"); // a UTF-8 name
    const fs::path path = temp / "search.ebook";
    WriteFile(path, BookBytes(writer, 3));
    return path;
}

TEST(SearchCommand, ListsRankedPagesWithSnippetsNamesDamagedPagesAndExitsOneOnNoMatch)
{
    TempFolder temp;
    const std::string book = WriteSearchBook(temp).string();

    const ToolRun text = Pack({ "search", book, "deflate", "stream", "--limit", "2" });
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_EQ(text.err, "Cannot extract page /broken.htm: not searched\n");
    EXPECT_TRUE(text.out.starts_with("3 pages match, the best 2 shown\n\n/deflate.htm  Deflate streams  ")) << text.out;
    EXPECT_NE(text.out.find("\n  How a [deflate] [stream] ends.\n"), std::string::npos) << text.out;

    const ToolRun json = Pack({ "search", "--json", book, "\"stream in\"" });
    ASSERT_EQ(json.exitCode, 0) << json.err;
    const auto parsed = nlohmann::json::parse(json.out);
    EXPECT_EQ(parsed["total"], 1);
    ASSERT_EQ(parsed["results"].size(), 1u);
    EXPECT_EQ(parsed["results"][0]["name"], "/caf\xC3\xA9.htm");
    EXPECT_EQ(parsed["results"][0]["title"], "Caf\xC3\xA9");
    EXPECT_GT(parsed["results"][0]["score"].get<double>(), 0);
    EXPECT_EQ(parsed["results"][0]["snippet"][1], (nlohmann::json { { "text", "stream" }, { "match", true } }));

    // A name stored as UTF-8 is shown as it is, not read as Windows-1252.
    const ToolRun utf8 = Pack({ "search", "--json", book, "kanji" });
    ASSERT_EQ(utf8.exitCode, 0) << utf8.err;
    EXPECT_EQ(nlohmann::json::parse(utf8.out)["results"][0]["name"], "/\xE6\x97\xA5\xE6\x9C\xAC.htm");

    const ToolRun none = Pack({ "search", book, "absent" });
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.out, "0 pages match\n");
    EXPECT_EQ(Pack({ "search", book, "x", "--limit", "-3" }).exitCode, 2);
    EXPECT_EQ(Pack({ "search", book, "\"\"" }).exitCode, 2);
    EXPECT_EQ(Pack({ "search", (temp / "missing.ebook").string(), "x" }).exitCode, 2);
}

// An EPUB and a folder are searched as a book is: results with their place in the contents, and
// the titles that begin with the words.
TEST(SearchCommand, AnyKindOfSourceGivesBreadcrumbsAndTitlesBeginningWithTheWords)
{
    TempFolder temp;
    WriteSampleEpub(temp / "sample.epub");
    WriteSampleFolder(temp / "folder");
    WriteSampleBook(temp / "sample.ebook");
    for (const std::string kind : { "sample.epub", "folder", "sample.ebook" }) {
        SCOPED_TRACE(kind);
        const std::string path = (temp / kind).string();
        const ToolRun search = Pack({ "search", "--json", path, kSampleWord });
        ASSERT_EQ(search.exitCode, 0) << search.err;
        const auto results = nlohmann::json::parse(search.out)["results"];
        ASSERT_EQ(results.size(), 1u) << search.out;
        EXPECT_EQ(results[0]["title"], "Chapter");
        if (kind == "sample.epub") {
            EXPECT_EQ(results[0]["breadcrumb"], nlohmann::json::array({ "Home" }));
        }

        const ToolRun titles = Pack({ "search", path, "--titles", "CHAP" });
        ASSERT_EQ(titles.exitCode, 0) << titles.err;
        EXPECT_TRUE(titles.out.starts_with("Chapter  /")) << titles.out;
        EXPECT_NE(titles.out.find("  (page)\n"), std::string::npos) << titles.out;
        EXPECT_EQ(Pack({ "search", path, "--titles", "vacuum" }).exitCode, 1) << "a word of the text is no title";
    }
    const ToolRun json = Pack({ "search", (temp / "sample.epub").string(), "--titles", "--json", "chapter" });
    ASSERT_EQ(json.exitCode, 0) << json.err;
    const auto suggestions = nlohmann::json::parse(json.out)["suggestions"];
    ASSERT_EQ(suggestions.size(), 2u) << json.out;
    EXPECT_EQ(suggestions[0]["kind"], "page");
    EXPECT_EQ(suggestions[1]["kind"], "contents");
    EXPECT_EQ(suggestions[1]["anchor"], "part");
}

// Words no page holds whole are tried as the beginnings of longer words, and the answer says so;
// with a book's stored index and with one built in memory alike.
TEST(SearchCommand, WordsNoPageHoldsWholeAreTriedAsBeginnings)
{
    TempFolder temp;
    WriteFile(temp / "src/index.html", "<title>Home</title><p>Start here.</p>");
    WriteFile(temp / "src/proc.html", "<title>Processes</title><p>The subprocess module starts programs.</p>");
    for (const bool keepIndex : { true, false }) {
        SCOPED_TRACE(keepIndex ? "stored index" : "index built in memory");
        const std::string book = (temp / "book.ebook").string();
        std::vector<std::string> build { "build", (temp / "src").string(), "-o", book };
        if (!keepIndex)
            build.push_back("--no-index");
        ASSERT_EQ(Pack(build).exitCode, 0);
        const ToolRun begun = Pack({ "search", book, "subproc" });
        EXPECT_EQ(begun.exitCode, 0) << begun.err;
        EXPECT_TRUE(begun.out.starts_with(
            "no page holds 'subproc'; pages with words beginning so:\n1 page matches\n\n/proc.html  Processes"))
            << begun.out;
        EXPECT_NE(begun.out.find("[subprocess]"), std::string::npos) << begun.out;
        const auto json = nlohmann::json::parse(Pack({ "search", "--json", book, "the", "subproc" }).out);
        EXPECT_EQ(json["beginnings"], true);
        EXPECT_EQ(json["total"], 1);
        const ToolRun whole = Pack({ "search", "--json", book, "subprocess" });
        EXPECT_FALSE(nlohmann::json::parse(whole.out).contains("beginnings")) << whole.out;
        const ToolRun none = Pack({ "search", book, "subprocz" });
        EXPECT_EQ(none.exitCode, 1);
        EXPECT_EQ(none.out, "0 pages match\n");
    }
}

// Pages at every depth of the author's contents: one titled with its file name, one without a
// title, one named twice (the second time by anchor) and one the contents do not name.
void WritePlacedFolder(const fs::path& source)
{
    WriteFile(source / "index.html", "<title>Home</title><p>Start here.</p>");
    WriteFile(source / "part1.html", "<title>Part one</title><p>a lantern in the part</p>");
    WriteFile(source / "ch1.html", "<title>ch1.html</title><p>the lantern chapter</p>");
    WriteFile(source / "sec11.html", "<p>a lantern in a section without a title</p>");
    WriteFile(source / "ch2.html", "<title>Second chapter</title><p>lantern again</p>");
    WriteFile(source / "loose.html", "<title>Loose</title><p>a lantern nowhere in the contents</p>");
    WriteFile(source / "book.json", R"({"contents": [
        {"title": "Part I", "page": "part1.html", "children": [
            {"title": "Chapter 1", "page": "ch1.html", "children": [
                {"title": "Section 1.1", "page": "sec11.html"},
                {"title": "Chapter 1, the end", "page": "ch1.html#end"}]}]},
        {"title": "Part II", "children": [{"title": "Chapter 2", "page": "ch2.html"}]}]})");
}

// Flips the last byte of the entry's record, so that it no longer inflates.
void DamageEntry(const fs::path& path, std::string_view name)
{
    std::string bytes = ReadFile(path);
    {
        BookFile book(path);
        const int entry = book.reader.IndexOfPage(name);
        ASSERT_GE(entry, 0) << name;
        bytes[static_cast<std::size_t>(book.reader.PageOffset(entry) + 4 + book.reader.StoredLengthAt(entry) - 1)]
            ^= 0x5A;
    }
    WriteFile(path, bytes);
}

// The index that build keeps holds each page's place in the contents: results come with the
// breadcrumbs and entry titles the contents give, without the contents being read.
TEST(SearchCommand, TheStoredIndexPlacesResultsAsTheContentsDo)
{
    TempFolder temp;
    WritePlacedFolder(temp / "src");
    const fs::path indexed = temp / "indexed.ebook";
    const fs::path bare = temp / "bare.ebook";
    ASSERT_EQ(Pack({ "build", (temp / "src").string(), "-o", indexed.string() }).exitCode, 0);
    ASSERT_EQ(Pack({ "build", (temp / "src").string(), "-o", bare.string(), "--no-index" }).exitCode, 0);
    const ToolRun fromIndex = Pack({ "search", "--json", indexed.string(), "lantern" });
    ASSERT_EQ(fromIndex.exitCode, 0) << fromIndex.err;
    const ToolRun fromContents = Pack({ "search", "--json", bare.string(), "lantern" });
    EXPECT_EQ(fromIndex.out, fromContents.out);

    std::map<std::string, std::pair<std::string, nlohmann::json>> placed;
    const auto hits = nlohmann::json::parse(fromIndex.out)["results"];
    for (const auto& hit : hits)
        placed[hit["name"].get<std::string>()] = { hit["title"].get<std::string>(), hit["breadcrumb"] };
    using Crumbs = nlohmann::json;
    const std::map<std::string, std::pair<std::string, nlohmann::json>> expected {
        { "/part1.html", { "Part one", Crumbs::array() } },
        { "/ch1.html", { "Chapter 1", Crumbs::array({ "Part I" }) } },
        { "/sec11.html", { "Section 1.1", Crumbs::array({ "Part I", "Chapter 1" }) } },
        { "/ch2.html", { "Second chapter", Crumbs::array({ "Part II" }) } },
        { "/loose.html", { "Loose", Crumbs::array() } },
    };
    EXPECT_EQ(placed, expected) << fromIndex.out;

    // With its contents unreadable the book still places its results through the index; the
    // book without one loses the places.
    DamageEntry(indexed, kContentsEntryName);
    DamageEntry(bare, kContentsEntryName);
    const ToolRun damaged = Pack({ "search", "--json", indexed.string(), "lantern" });
    EXPECT_EQ(damaged.err, "");
    EXPECT_EQ(damaged.out, fromIndex.out);
    EXPECT_NE(Pack({ "search", "--json", bare.string(), "lantern" }).out, fromContents.out);
}

} // namespace
