#include "tools/tests/PackFixture.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace fs = std::filesystem;

namespace {

// 1,000 files in nested folders: HTML of varied length and incompressible binary data.
std::map<std::string, std::string> MixedPages()
{
    std::mt19937 random(2024);
    std::map<std::string, std::string> pages;
    for (int i = 0; i < 1000; ++i) {
        const std::string folder = "part" + std::to_string(i % 7) + "/sub" + std::to_string(i % 3) + "/";
        if (i % 3 == 0) {
            std::string binary(static_cast<std::size_t>(random() % 5000), '\0');
            for (char& c : binary)
                c = static_cast<char>(random() & 0xFF);
            pages[folder + "blob" + std::to_string(i) + ".bin"] = binary;
        } else {
            std::string html = "<html><head><title>Page " + std::to_string(i) + "</title></head><body>";
            for (unsigned n = random() % 60; n > 0; --n)
                html += "<p>Paragraph " + std::to_string(random()) + " of page " + std::to_string(i) + ".</p>\n";
            pages[folder + "page " + std::to_string(i) + ".htm"] = html + "</body></html>";
        }
    }
    return pages;
}

// Every regular file below the folder by its path there, with its bytes.
std::map<std::string, std::string> Tree(const fs::path& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), folder).generic_string()] = ReadFile(entry.path());
    }
    return files;
}

} // namespace

// A folder built into a book and extracted again comes back byte for byte: no page lost or
// changed, and nothing added (the book's own contents and search index stay inside it). Hidden
// and excluded files are left out by the build.
TEST(RoundTrip, ThousandMixedPagesComeBackByteExactAndBuildsAreReproducible)
{
    TempFolder temp;
    auto pages = MixedPages();
    pages["index.htm"] = "<title>Home</title><ul><li><a href=\"part1/sub1/page%201.htm\">One</a></ul>";
    pages["empty.htm"] = "";
    for (const auto& [name, content] : pages)
        WriteFile(temp / ("src/" + name), content);
    WriteFile(temp / "src/.notes", "hidden");
    WriteFile(temp / "src/part1/draft.htm~", "an editor's backup");

    const ToolRun first = Pack({ "build", (temp / "src").string(), "-o", (temp / "one.ebook").string() });
    ASSERT_EQ(first.exitCode, 0) << first.err;
    ASSERT_NE(first.out.find("Contents: 1 entry, 1 level"), std::string::npos)
        << "the book keeps contents: " << first.out;
    const ToolRun second = Pack({ "build", (temp / "src").string(), "-o", (temp / "two.ebook").string() });
    ASSERT_EQ(second.exitCode, 0) << second.err;
    EXPECT_TRUE(ReadFile(temp / "one.ebook") == ReadFile(temp / "two.ebook")) << "building twice gives the same bytes";

    const ToolRun extract = Pack({ "extract", (temp / "one.ebook").string(), "-d", (temp / "out").string() });
    ASSERT_EQ(extract.exitCode, 0) << extract.err;
    const auto extracted = Tree(temp / "out");
    EXPECT_EQ(extracted.size(), pages.size());
    EXPECT_TRUE(extracted == pages) << "the folder comes back as it was";
    EXPECT_EQ(Pack({ "verify", (temp / "one.ebook").string() }).exitCode, 0);
}
