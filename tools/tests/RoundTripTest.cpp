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

} // namespace

TEST(RoundTrip, ThousandMixedPagesComeBackByteExactAndBuildsAreReproducible)
{
    TempFolder temp;
    const auto pages = MixedPages();
    for (const auto& [name, content] : pages)
        WriteFile(temp / ("src/" + name), content);
    WriteFile(temp / "src/empty.htm", "");

    const ToolRun first = Pack({ "build", (temp / "src").string(), "-o", (temp / "one.ebook").string() });
    ASSERT_EQ(first.exitCode, 0) << first.err;
    const ToolRun second = Pack({ "build", (temp / "src").string(), "-o", (temp / "two.ebook").string() });
    ASSERT_EQ(second.exitCode, 0) << second.err;
    EXPECT_TRUE(ReadFile(temp / "one.ebook") == ReadFile(temp / "two.ebook")) << "building twice gives the same bytes";

    const ToolRun extract = Pack({ "extract", (temp / "one.ebook").string(), "-d", (temp / "out").string() });
    ASSERT_EQ(extract.exitCode, 0) << extract.err;
    std::size_t extracted = 0;
    // The search index's entries come out too, in a folder of their own.
    for (const auto& entry : fs::recursive_directory_iterator(temp / "out"))
        extracted += entry.is_regular_file() && entry.path().string().find("/.search-index/") == std::string::npos;
    EXPECT_EQ(extracted, pages.size() + 1);
    int mismatches = 0;
    for (const auto& [name, content] : pages)
        mismatches += ReadFile(temp / ("out/" + name)) == content ? 0 : 1;
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(ReadFile(temp / "out/empty.htm"), "");
    EXPECT_EQ(Pack({ "verify", (temp / "one.ebook").string() }).exitCode, 0);
}
