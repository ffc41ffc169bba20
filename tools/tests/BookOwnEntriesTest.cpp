#include "tools/tests/PackFixture.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace fs = std::filesystem;

namespace {

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

} // namespace

// The entries a build adds for the book itself (its contents, its search index) are no pages:
// list and extract leave them out unless --all, info counts pages without them and shows them on
// lines of their own, verify still reads them.
TEST(BookOwnEntries, ListAndExtractLeaveThemOutUnlessAllAndInfoShowsThemApart)
{
    TempFolder temp;
    WriteFile(temp / "src/index.html", "<title>Home</title><ul><li><a href=a.html>A</a><li><a href=b.html>B</a></ul>");
    WriteFile(temp / "src/a.html", "<title>A</title><p>alpha</p>");
    WriteFile(temp / "src/b.html", "<title>B</title><p>beta</p>");
    const std::string book = (temp / "book.ebook").string();
    const ToolRun built = Pack({ "build", (temp / "src").string(), "-o", book });
    ASSERT_EQ(built.exitCode, 0) << built.err;
    EXPECT_TRUE(Has(built.out, book + ": 3 pages, ")) << "the contents and index entries are no pages: " << built.out;

    const ToolRun list = Pack({ "list", book });
    ASSERT_EQ(list.exitCode, 0) << list.err;
    EXPECT_TRUE(Has(list.out, "  /a.html\n")) << list.out;
    EXPECT_FALSE(Has(list.out, "/.ebook-contents")) << list.out;
    EXPECT_FALSE(Has(list.out, "/.search-index/")) << list.out;
    const ToolRun all = Pack({ "list", book, "--all" });
    EXPECT_TRUE(Has(all.out, "  /.ebook-contents\n")) << all.out;
    EXPECT_TRUE(Has(all.out, "  /.search-index/v2/000000\n")) << all.out;
    EXPECT_EQ(Pack({ "list", book, ".ebook-contents" }).exitCode, 0) << "named, it is listed";

    const ToolRun info = Pack({ "info", book });
    EXPECT_TRUE(Has(info.out, "Pages:              3\n")) << info.out;
    EXPECT_TRUE(Has(info.out, "Stored contents:    2 entries\n")) << info.out;
    EXPECT_TRUE(Has(info.out, "Stored index:       ")) << info.out;
    EXPECT_TRUE(Has(info.out, " entry, version 2\n")) << info.out;
    const auto json = nlohmann::json::parse(Pack({ "info", book, "--json" }).out);
    EXPECT_EQ(json["pageCount"], 3);
    EXPECT_EQ(json["storedContents"]["entries"], 2);
    EXPECT_EQ(json["storedIndex"]["version"], "2");
    EXPECT_GT(json["storedIndex"]["bytes"].get<int>(), 0);

    ASSERT_EQ(Pack({ "extract", book, "-d", (temp / "out").string() }).exitCode, 0);
    EXPECT_TRUE(fs::exists(temp / "out/a.html"));
    EXPECT_FALSE(fs::exists(temp / "out/.ebook-contents"));
    EXPECT_FALSE(fs::exists(temp / "out/.search-index"));
    ASSERT_EQ(Pack({ "extract", book, "--all", "-d", (temp / "all").string() }).exitCode, 0);
    EXPECT_TRUE(fs::exists(temp / "all/.ebook-contents"));
    EXPECT_TRUE(fs::exists(temp / "all/.search-index/v2/000000"));

    const ToolRun verify = Pack({ "verify", book });
    EXPECT_EQ(verify.out, book + ": all 3 pages and the book's 2 own entries extract (book)\n");

    ASSERT_EQ(Pack({ "build", (temp / "src").string(), "-o", book, "--no-index" }).exitCode, 0);
    EXPECT_TRUE(Has(Pack({ "info", book }).out, "Stored index:       (none)\n"));
    EXPECT_TRUE(nlohmann::json::parse(Pack({ "info", book, "--json" }).out)["storedIndex"].is_null());
}
