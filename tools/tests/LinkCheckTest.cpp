#include "tools/tests/PackFixture.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace fs = std::filesystem;

namespace {

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// A site as MkDocs writes it with directory addresses: folders with index.html, links to "guide/",
// "." and "../", and a theme folder reached from style sheets and srcsets.
void WriteDirectorySite(const fs::path& site)
{
    WriteFile(site / "index.html", R"html(<html><head><link href="css/theme.css" rel="stylesheet">
<meta http-equiv="refresh" content="30; url=./"></head><body>
<a href="guide/">Guide</a> <a href="guide/#install">Install</a> <a href="./">Home</a>
<img srcset="img/a.png 1x, img//b.png 2x"> <a href="https://example.org/">web</a>
<a href="mailto:someone@example.org">mail</a> <a href="#top">top</a></body></html>)html");
    WriteFile(site / "guide/index.html", R"html(<h1 id="install">Install</h1><a href="../">Home</a>
<a href="..">Home again</a> <a href="../guide">this page</a> <a href="caf%C3%A9.html">Caf&eacute;</a>)html");
    WriteFile(site / "guide/caf\xC3\xA9.html", R"html(<a href="../index.html#top">top</a>)html");
    WriteFile(site / "css/theme.css", R"html(@import "fonts.css"; body { background: url(../img/a.png) })html");
    WriteFile(site / "css/fonts.css", R"html(@font-face { src: url("../fonts/x.woff2") })html");
    WriteFile(site / "fonts/x.woff2", "font");
    WriteFile(site / "img/a.png", "a");
    WriteFile(site / "img/b.png", "b");
    WriteFile(site / "404.html", "<p>Not found</p>");
}

} // namespace

TEST(LinkCheck, DirectoryAddressesDoubledSlashesAndEscapesResolveAsTheViewerResolvesThem)
{
    TempFolder temp;
    WriteDirectorySite(temp / "site");
    ToolRun run = Pack({ "check", (temp / "site").string(), "--external" });
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_TRUE(Has(run.out, ": 9 pages (4 HTML, 2 style sheets), 16 links checked, 2 to the web: no broken links"))
        << run.out;
    EXPECT_TRUE(Has(run.out, "web link: /index.html -> https://example.org/ (a href)")) << run.out;

    // The book built from it checks the same; build prints the summary.
    run = Pack({ "build", (temp / "site").string(), "-o", (temp / "site.ebook").string(), "--strict" });
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.out, "Links: 16 checked, no broken links")) << run.out;
    run = Pack({ "check", (temp / "site.ebook").string() });
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
}

TEST(LinkCheck, EveryKindOfFindingIsReportedAndBuildShowsTheFirstOrStopsWhenStrict)
{
    TempFolder temp;
    const fs::path site = temp / "site";
    WriteFile(site / "index.html", R"html(<a href="missing.html">gone</a> <a href="Other.HTML">case</a>
<a href="other.html#nowhere">anchor</a> <a href="other.html#there">fine</a> <a href="../up.html">up</a>
<a href="other.html#%C3%A9t%C3%A9">escaped anchor</a> <a href="#mine">own</a> <span id="mine"></span>
<img src="pic.png"> <object data="img/"></object> <!-- <a href="commented.html"> --> <a href="mailto:a@b">m</a>)html");
    WriteFile(
        site / "other.html", "<p id=there><a name=\"\xC3\xA9t\xC3\xA9\"></a><style>p{background:url(bg.gif)}</style>");
    WriteFile(site / "orphan.html", "<p>nobody links here</p>");
    WriteFile(site / "bg.gif", "gif");

    ToolRun run = Pack({ "check", site.string() });
    EXPECT_EQ(run.exitCode, 1);
    for (const char* line : { "broken link: /index.html -> missing.html (a href)\n",
             "letter case only: /index.html -> Other.HTML (a href) reaches /other.html\n",
             "missing anchor: /index.html -> other.html#nowhere (a href)\n",
             "leaves the book: /index.html -> ../up.html (a href)\n", "broken link: /index.html -> pic.png (img src)\n",
             "broken link: /index.html -> img/ (object data)\n", "nothing links to /orphan.html\n" })
        EXPECT_TRUE(Has(run.out, line)) << line << "\n" << run.out;
    EXPECT_TRUE(Has(run.out,
        "3 broken links, 1 missing anchor, 1 link that matches only in letter case, 1 link that leaves the book by .., "
        "1 page nothing links to"))
        << run.out;
    EXPECT_FALSE(Has(run.out, "commented")) << run.out;

    const auto json = nlohmann::json::parse(Pack({ "check", site.string(), "--json" }).out);
    EXPECT_EQ(json["counts"]["broken"], 3);
    EXPECT_EQ(json["counts"]["not-linked"], 1);
    EXPECT_EQ(json["findings"][0]["where"], "a href");

    run = Pack({ "build", site.string(), "-o", (temp / "a.ebook").string() });
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.out, "Links: 10 checked, 3 broken links, ")) << run.out;
    EXPECT_TRUE(Has(run.out, "... and 2 more\n")) << "the first five findings are shown: " << run.out;
    run = Pack({ "build", site.string(), "-o", (temp / "b.ebook").string(), "--strict" });
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_FALSE(fs::exists(temp / "b.ebook"));
    // verify still checks the container only.
    EXPECT_EQ(Pack({ "verify", (temp / "a.ebook").string() }).exitCode, 0);
}

TEST(BookHints, FilesThatAreNoBookSayHowToMakeOneAndEmptyFoldersAreRefused)
{
    TempFolder temp;
    WriteFile(temp / "help.chm", std::string("ITSF\x03\0\0\0", 8) + "rest");
    WriteFile(temp / "wiki.zim", std::string("ZIM\x04\x05\0\0\0", 8));
    WriteFile(temp / "empty.zip", std::string("PK\x05\x06", 4) + std::string(18, '\0'));
    // The commands that read a CHM or a ZIM in place name what is wrong with a damaged one.
    for (const std::string command : { "info", "list", "verify", "check", "contents" }) {
        ToolRun run = Pack({ command, (temp / "help.chm").string() });
        EXPECT_EQ(run.exitCode, 2) << command;
        EXPECT_TRUE(Has(run.err, "help.chm as a CHM file: ")) << command << ": " << run.err;
    }
    EXPECT_TRUE(Has(Pack({ "info", (temp / "wiki.zim").string() }).err, "wiki.zim as a ZIM archive: "));
    EXPECT_TRUE(Has(Pack({ "build", (temp / "empty.zip").string(), "-o", (temp / "x.ebook").string() }).err,
        "empty.zip is a zip archive; unpack it and make a book of the folder with: ebook-pack build FOLDER -o BOOK"));

    fs::create_directories(temp / "nothing/.git");
    WriteFile(temp / "nothing/.git/HEAD", "ref");
    const ToolRun run = Pack({ "build", (temp / "nothing").string(), "-o", (temp / "n.ebook").string() });
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(Has(run.err, "Nothing to pack in " + (temp / "nothing").string())) << run.err;
    EXPECT_FALSE(fs::exists(temp / "n.ebook"));
}
