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

TEST(LinkCheck, ABuildOnManyThreadsFindsWhatCheckFindsInPageOrder)
{
    // Each page links to anchors of the next and of the first: whichever thread packs a page, its
    // links are read before the pages they reach, and their anchors are checked only at the end.
    TempFolder temp;
    const fs::path site = temp / "site";
    constexpr int kPages = 40;
    for (int i = 0; i < kPages; ++i) {
        const std::string next = "p" + std::to_string((i + 1) % kPages) + ".html";
        std::string page = "<h1 id=\"top" + std::to_string(i) + "\">" + std::to_string(i) + "</h1>";
        page += "<a href=\"" + next + "#top" + std::to_string((i + 1) % kPages) + "\">next</a>";
        if (i % 7 == 3)
            page += "<a href=\"" + next + "#gone\">next, no such anchor</a>";
        if (i % 11 == 5)
            page += "<a href=\"missing" + std::to_string(i) + ".html\">gone</a>";
        page += "<a href=\"P0.HTML#top0\">first</a>";
        WriteFile(site / ("p" + std::to_string(i) + ".html"), page);
    }
    WriteFile(site / "index.html", "<a href=\"p0.html\">start</a>");

    const ToolRun check = Pack({ "check", site.string() });
    EXPECT_EQ(check.exitCode, 1);
    // Pages in name order: p0, p1, p10 ... p19, p2, p20 ...
    EXPECT_TRUE(Has(check.out, "6 missing anchors")) << check.out;
    EXPECT_TRUE(Has(check.out, "4 broken links")) << check.out;
    for (const unsigned threads : { 1U, 4U }) {
        const ToolRun build = Pack(
            { "build", site.string(), "-o", (temp / "book.ebook").string(), "--threads", std::to_string(threads) });
        ASSERT_EQ(build.exitCode, 0) << build.err;
        EXPECT_TRUE(Has(build.out,
            "Links: 91 checked, 4 broken links, 6 missing anchors, 40 links that match only in "
            "letter case\n"))
            << threads << " threads\n"
            << build.out;
        // The first five findings are the check's first five, in the same order.
        const std::size_t first = check.out.find("letter case only: /p0.html");
        ASSERT_NE(first, std::string::npos) << check.out;
        std::size_t fifth = first;
        for (int line = 0; line < 5; ++line)
            fifth = check.out.find('\n', fifth) + 1;
        EXPECT_TRUE(Has(build.out, check.out.substr(first, fifth - first))) << threads << " threads\n"
                                                                            << build.out << "\n---\n"
                                                                            << check.out;
    }
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
