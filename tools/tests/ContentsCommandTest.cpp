#include "book/BookWriter.h"
#include "sources/StoredContents.h"
#include "tools/tests/PackFixture.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace fs = std::filesystem;

namespace {

void WriteChapters(const TempFolder& temp)
{
    WriteFile(temp / "src/index.html",
        "<title>Guide</title><ul><li><a href=one.html>One</a><ul><li><a href='one.html#b'>One B</a></ul>"
        "<li><a href=two.html>Two</a></ul>");
    WriteFile(temp / "src/one.html", "<title>one.html</title>");
    WriteFile(temp / "src/two.html", "<title>Two</title>");
}

TEST(ContentsCommand, PrintsTheStoredTreeOrTheOneTheHomePageGives)
{
    TempFolder temp;
    WriteChapters(temp);
    const std::string book = (temp / "guide.ebook").string();
    const ToolRun build = Pack({ "build", (temp / "src").string(), "-o", book });
    ASSERT_EQ(build.exitCode, 0) << build.err;
    EXPECT_NE(build.out.find("Contents: 3 entries, 2 levels (the home page)"), std::string::npos) << build.out;

    // Read while the pages were packed, said before the links and stored after the pages.
    EXPECT_LT(build.out.find("Contents: "), build.out.find("Links: ")) << build.out;
    const std::string all = Pack({ "list", book, "--all" }).out;
    EXPECT_GT(all.find("  /.ebook-contents\n"), all.find("  /two.html\n")) << all;
    const ToolRun text = Pack({ "contents", book });
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_EQ(text.out, "One  /one.html\n  One B  /one.html#b\nTwo  /two.html\n");
    // A home page without links gives no contents, and the book no entry for them.
    WriteFile(temp / "bare/index.html", "<title>Bare</title><p>nothing to list</p>");
    const std::string bareBook = (temp / "bare.ebook").string();
    const ToolRun bareBuild = Pack({ "build", (temp / "bare").string(), "-o", bareBook });
    ASSERT_EQ(bareBuild.exitCode, 0) << bareBuild.err;
    EXPECT_EQ(bareBuild.out.find("Contents:"), std::string::npos) << bareBuild.out;
    EXPECT_EQ(Pack({ "list", bareBook, "--all" }).out.find(".ebook-contents"), std::string::npos);
    EXPECT_EQ(Pack({ "verify", bareBook }).exitCode, 0);
    const auto json = nlohmann::json::parse(Pack({ "contents", book, "--json" }).out);
    EXPECT_EQ(json[0]["children"][0]["anchor"], "b");
    EXPECT_EQ(json[1].dump(), R"({"children":[],"page":"/two.html","title":"Two"})");

    // The author's contents win over the home page's, pages named from the folder's top.
    WriteFile(temp / "src/book.json",
        R"({"contentsOpen": true, "contents": [{"title": "Second first", "page": "two.html"},
            {"title": "Part", "children": [{"title": "First", "page": "/one.html#b"}]}]})");
    ASSERT_EQ(Pack({ "build", (temp / "src").string(), "-o", book }).exitCode, 0);
    EXPECT_EQ(Pack({ "contents", book }).out, "Second first  /two.html\nPart\n  First  /one.html#b\n");
    // Entries after nested ones land beside them, however deep the nesting went, and members
    // after the contents still count.
    WriteFile(temp / "src/book.json",
        R"({"contents": [{"title": "A", "children": [{"title": "B", "page": "one.html"}, {"page": "two.html#t",
            "children": [{"title": "D", "ignored": null, "page": "one.html#d"}], "title": "C"}]},
            {"title": "E", "page": "two.html"}], "title": "After the contents"})");
    const ToolRun nested = Pack({ "build", (temp / "src").string(), "-o", book });
    ASSERT_EQ(nested.exitCode, 2) << "an unknown key in an entry is refused";
    EXPECT_NE(nested.err.find("entry \"D\": unknown key or wrong type of \"ignored\""), std::string::npos)
        << nested.err;
    WriteFile(temp / "src/book.json",
        R"({"contents": [{"title": "A", "children": [{"title": "B", "page": "one.html"}, {"page": "two.html#t",
            "children": [{"title": "D", "page": "one.html#d"}], "title": "C"}]},
            {"title": "E", "page": "two.html"}], "title": "After the contents"})");
    ASSERT_EQ(Pack({ "build", (temp / "src").string(), "-o", book }).exitCode, 0);
    EXPECT_EQ(
        Pack({ "contents", book }).out, "A\n  B  /one.html\n  C  /two.html#t\n    D  /one.html#d\nE  /two.html\n");
    EXPECT_NE(Pack({ "info", book }).out.find("After the contents"), std::string::npos);

    // More entries than readers take: the book keeps them, and the build says what readers miss.
    std::string many = R"({"contents": [)";
    for (std::size_t i = 0; i <= kMaxStoredContentsEntries; ++i)
        many += (i == 0 ? "" : ",") + std::string(R"({"title": "E", "page": "two.html"})");
    WriteFile(temp / "src/book.json", many + "]}");
    const ToolRun manyBuild = Pack({ "build", (temp / "src").string(), "-o", book });
    ASSERT_EQ(manyBuild.exitCode, 0) << manyBuild.err;
    EXPECT_NE(manyBuild.out.find("Contents: 100001 entries, 1 level (book.json); readers show the first 100000 "
                                 "entries only\n"),
        std::string::npos)
        << manyBuild.out.substr(0, 400);
    fs::remove(temp / "src/book.json");

    // A book written before books stored their contents gets them from its home page.
    TBookWriter writer;
    writer.AddPage("/index.html", "<a href=b.html>Bee</a> <a href=a.html>Ay</a>");
    writer.AddPage("/a.html", "a");
    writer.AddPage("/b.html", "b");
    TMemoryStream stream;
    writer.SaveToStream(stream);
    WriteFile(temp / "old.ebook", stream.ToString());
    EXPECT_EQ(Pack({ "contents", (temp / "old.ebook").string() }).out, "Bee  /b.html\nAy  /a.html\n");

    TBookWriter bare;
    bare.AddPage("/index.html", "no links");
    TMemoryStream bareStream;
    bare.SaveToStream(bareStream);
    WriteFile(temp / "bare.ebook", bareStream.ToString());
    const ToolRun none = Pack({ "contents", (temp / "bare.ebook").string(), "--json" });
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.out, "[]\n");
}

TEST(ContentsCommand, BuildRefusesContentsItCannotKeep)
{
    TempFolder temp;
    WriteChapters(temp);
    const std::string book = (temp / "guide.ebook").string();
    WriteFile(temp / "src/book.json", R"({"contents": [{"title": "Gone", "page": "missing.html"}]})");
    const ToolRun missing = Pack({ "build", (temp / "src").string(), "-o", book });
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.err.find("\"Gone\" names missing.html, which is not a page"), std::string::npos) << missing.err;
    EXPECT_FALSE(fs::exists(book));

    fs::remove(temp / "src/book.json");
    WriteFile(temp / "src/.ebook-contents.json", "{}");
    const ToolRun hidden = Pack({ "build", (temp / "src").string(), "-o", book, "--include-hidden" });
    EXPECT_EQ(hidden.exitCode, 2);
    EXPECT_NE(hidden.err.find("the book keeps its contents under that name"), std::string::npos) << hidden.err;
    EXPECT_EQ(Pack({ "build", (temp / "src").string(), "-o", book }).exitCode, 0);
}

} // namespace
