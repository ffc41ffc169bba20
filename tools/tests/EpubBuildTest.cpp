#include "tools/tests/BookFile.h"
#include "tools/tests/PackFixture.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zip.h>

namespace fs = std::filesystem;

namespace {

// Writes a zip archive of the given entries, in order, deflated.
void WriteZip(const fs::path& path, const std::vector<std::pair<std::string, std::string>>& entries)
{
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(archive, nullptr);
    for (const auto& [name, content] : entries) {
        zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
        ASSERT_GE(zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8), 0) << name;
    }
    ASSERT_EQ(zip_close(archive), 0);
}

const std::string kContainer = R"(<?xml version="1.0"?>
<container version="1.0" xmlns="urn:oasis:names:tc:opendocument:xmlns:container">
  <rootfiles><rootfile full-path="OEBPS/content.opf" media-type="application/oebps-package+xml"/></rootfiles>
</container>)";

std::string Chapter(const std::string& title)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><html xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>"
        + title + "</title></head><body><p>" + title + "</p></body></html>";
}

// An EPUB 3 with a navigation document listing two of its three chapters, a cover image and a
// chapter whose name is Cyrillic ("глава.xhtml").
std::vector<std::pair<std::string, std::string>> Epub3()
{
    const std::string opf = R"(<?xml version="1.0" encoding="utf-8"?>
<package xmlns="http://www.idpf.org/2007/opf" version="3.0" unique-identifier="id">
  <metadata xmlns:dc="http://purl.org/dc/elements/1.1/">
    <dc:title>Война и мир</dc:title><dc:creator>Лев Толстой</dc:creator>
    <dc:language>ru</dc:language><dc:date>1869-05-01</dc:date>
    <dc:description>&lt;p&gt;Cats &amp;amp; mice &amp;mdash; a
      &lt;i&gt;novel&lt;/i&gt;&lt;/p&gt;</dc:description>
  </metadata>
  <manifest>
    <item id="nav" href="nav.xhtml" media-type="application/xhtml+xml" properties="nav"/>
    <item id="cover" href="images/cover.png" media-type="image/png" properties="cover-image"/>
    <item id="c1" href="text/one.xhtml" media-type="application/xhtml+xml"/>
    <item id="c2" href="text/%D0%B3%D0%BB%D0%B0%D0%B2%D0%B0.xhtml" media-type="application/xhtml+xml"/>
    <item id="c3" href="text/three.xhtml" media-type="application/xhtml+xml"/>
  </manifest>
  <spine><itemref idref="c1"/><itemref idref="c2"/><itemref idref="c3"/></spine>
</package>)";
    const std::string nav = R"(<?xml version="1.0" encoding="utf-8"?>
<html xmlns="http://www.w3.org/1999/xhtml" xmlns:epub="http://www.idpf.org/2007/ops"><body>
<nav epub:type="landmarks"><ol><li><a href="text/three.xhtml">Wrong list</a></li></ol></nav>
<nav epub:type="toc"><ol>
  <li><a href="text/one.xhtml">Part One</a>
    <ol><li><a href="text/%D0%B3%D0%BB%D0%B0%D0%B2%D0%B0.xhtml#s2">Глава</a></li></ol></li>
</ol></nav></body></html>)";
    return { { "mimetype", "application/epub+zip" }, { "META-INF/container.xml", kContainer },
        { "OEBPS/content.opf", opf }, { "OEBPS/nav.xhtml", nav }, { "OEBPS/images/cover.png", "PNG" },
        { "OEBPS/text/one.xhtml", Chapter("One") },
        { "OEBPS/text/\xD0\xB3\xD0\xBB\xD0\xB0\xD0\xB2\xD0\xB0.xhtml", Chapter("Two") },
        { "OEBPS/text/three.xhtml", Chapter("Three") } };
}

// An EPUB 2 with an NCX and a cover page named by the guide.
std::vector<std::pair<std::string, std::string>> Epub2()
{
    const std::string opf = R"(<?xml version="1.0"?>
<opf:package xmlns:opf="http://www.idpf.org/2007/opf" version="2.0">
  <opf:metadata xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:title>Old Book</dc:title></opf:metadata>
  <opf:manifest>
    <opf:item id="ncx" href="toc.ncx" media-type="application/x-dtbncx+xml"/>
    <opf:item id="cover" href="cover.html" media-type="application/xhtml+xml"/>
    <opf:item id="a" href="a.html" media-type="application/xhtml+xml"/>
    <opf:item id="b" href="sub/b.html" media-type="application/xhtml+xml"/>
  </opf:manifest>
  <opf:spine toc="ncx"><opf:itemref idref="cover"/><opf:itemref idref="a"/><opf:itemref idref="b"/></opf:spine>
  <opf:guide><opf:reference type="cover" href="cover.html"/></opf:guide>
</opf:package>)";
    const std::string ncx = R"(<?xml version="1.0"?>
<ncx xmlns="http://www.daisy.org/z3986/2005/ncx/" version="2005-1"><navMap>
  <navPoint id="p1"><navLabel><text>Chapter A</text></navLabel><content src="a.html"/>
    <navPoint id="p2"><navLabel><text>Chapter B</text></navLabel><content src="sub/b.html#top"/></navPoint>
  </navPoint>
</navMap></ncx>)";
    return { { "mimetype", "application/epub+zip" }, { "META-INF/container.xml", kContainer },
        { "OEBPS/content.opf", opf }, { "OEBPS/toc.ncx", ncx }, { "OEBPS/cover.html", Chapter("Cover") },
        { "OEBPS/a.html", Chapter("A") }, { "OEBPS/sub/b.html", Chapter("B") } };
}

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(EpubBuild, Epub3BecomesABookOpeningOnItsContents)
{
    TempFolder temp;
    const fs::path epub = temp / "novel.zip"; // known by content, not by name
    WriteZip(epub, Epub3());
    const ToolRun run = Pack({ "build", epub.string(), "-o", (temp / "out.ebook").string() });
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.out, "Home page: /contents.html (a contents page written from the EPUB's navigation"))
        << run.out;
    BookFile book(temp / "out.ebook");
    ASSERT_TRUE(book.valid);
    EXPECT_EQ(book.reader.title(), "\xD0\x92\xD0\xBE\xD0\xB9\xD0\xBD\xD0\xB0 \xD0\xB8 \xD0\xBC\xD0\xB8\xD1\x80");
    // The description is HTML inside XML: its own references are decoded and its blanks collapsed.
    EXPECT_EQ(book.reader.description(), "Cats & mice \x97 a novel") << "stored as Windows-1252";
    EXPECT_TRUE(Has(book.reader.aboutText(), "Language: ru"));
    EXPECT_TRUE(book.reader.hasAboutDate());
    EXPECT_EQ(book.reader.GetHomePageName(), "/contents.html");
    for (const char* packaging : { "/mimetype", "/META-INF/container.xml", "/OEBPS/content.opf" })
        EXPECT_EQ(book.reader.IndexOfPage(packaging), -1) << packaging;
    EXPECT_EQ(book.Page("/OEBPS/text/one.xhtml"), Chapter("One"));

    const std::string contents = *book.Page("/contents.html");
    EXPECT_TRUE(Has(contents, "<html lang=\"ru\">"));
    const std::size_t cover = contents.find("src=\"/OEBPS/images/cover.png\"");
    const std::size_t partOne = contents.find("<a href=\"/OEBPS/text/one.xhtml\">Part One</a>");
    const std::size_t chapter = contents.find("href=\"/OEBPS/text/%D0%B3%D0%BB%D0%B0%D0%B2%D0%B0.xhtml#s2\"");
    const std::size_t three = contents.find("<a href=\"/OEBPS/text/three.xhtml\">Three</a>");
    ASSERT_NE(cover, std::string::npos) << contents;
    ASSERT_NE(partOne, std::string::npos) << contents;
    ASSERT_NE(chapter, std::string::npos) << contents;
    ASSERT_NE(three, std::string::npos) << "a spine document the contents omit is still linked";
    EXPECT_LT(cover, partOne);
    EXPECT_LT(chapter, three);
    EXPECT_FALSE(Has(contents, "Wrong list")) << "the toc nav, not the landmarks";
}

TEST(EpubBuild, Epub2ContentsComeFromTheNcxWithTheCoverFirst)
{
    TempFolder temp;
    WriteZip(temp / "old.epub", Epub2());
    const ToolRun run
        = Pack({ "build", (temp / "old.epub").string(), "-o", (temp / "out.ebook").string(), "--title", "Mine" });
    ASSERT_EQ(run.exitCode, 0) << run.err;
    BookFile book(temp / "out.ebook");
    EXPECT_EQ(book.reader.title(), "Mine") << "options win over the package document";
    EXPECT_EQ(book.reader.IndexOfPage("/OEBPS/toc.ncx"), -1);
    const std::string contents = *book.Page(book.reader.GetHomePageName());
    const std::size_t cover = contents.find("<a href=\"/OEBPS/cover.html\">Cover</a>");
    const std::size_t a = contents.find("<a href=\"/OEBPS/a.html\">Chapter A</a>");
    const std::size_t b = contents.find("<a href=\"/OEBPS/sub/b.html#top\">Chapter B</a>");
    ASSERT_NE(cover, std::string::npos) << contents;
    ASSERT_NE(a, std::string::npos) << contents;
    ASSERT_NE(b, std::string::npos) << contents;
    EXPECT_LT(cover, a);
    EXPECT_LT(a, b);
    EXPECT_EQ(Pack({ "verify", (temp / "out.ebook").string() }).exitCode, 0);
}

namespace {

// An EPUB 2 that opens on a contents page of its own, marked nowhere, with a prose introduction
// that links every chapter too, and a second list of chapters that its guide names.
std::vector<std::pair<std::string, std::string>> Epub2WithItsOwnContents()
{
    const std::vector<std::string> chapters { "Gardening", "Orchards", "Beekeeping", "Compost" };
    std::string manifest;
    std::string spine;
    std::string points;
    std::string list;
    std::vector<std::pair<std::string, std::string>> entries { { "mimetype", "application/epub+zip" },
        { "META-INF/container.xml", kContainer } };
    for (std::size_t i = 0; i < chapters.size(); ++i) {
        const std::string file = "c" + std::to_string(i) + ".xhtml";
        manifest
            += "<item id=\"c" + std::to_string(i) + "\" href=\"" + file + "\" media-type=\"application/xhtml+xml\"/>";
        spine += "<itemref idref=\"c" + std::to_string(i) + "\"/>";
        points += "<navPoint id=\"n" + std::to_string(i) + "\"><navLabel><text>" + chapters[i]
            + "</text></navLabel><content src=\"" + file + "\"/></navPoint>";
        list += "<p><a href=\"" + file + "#top\">" + std::to_string(i + 1) + ". " + chapters[i]
            + " in the garden</a></p>";
        entries.push_back({ "OEBPS/" + file, Chapter(chapters[i] + " season") });
    }
    const std::string opf = R"(<?xml version="1.0" encoding="utf-8"?>
<package xmlns="http://www.idpf.org/2007/opf" version="2.0" unique-identifier="id">
  <metadata xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:title>Garden</dc:title></metadata>
  <manifest><item id="ncx" href="toc.ncx" media-type="application/x-dtbncx+xml"/>
    <item id="toc" href="index.xhtml" media-type="application/xhtml+xml"/>
    <item id="intro" href="intro.xhtml" media-type="application/xhtml+xml"/>
    <item id="list" href="list.xhtml" media-type="application/xhtml+xml"/>)"
        + manifest + R"(</manifest>
  <spine toc="ncx"><itemref idref="toc"/><itemref idref="intro"/>)"
        + spine + R"(<itemref idref="list"/></spine>
  <guide><reference type="toc" href="list.xhtml"/></guide>
</package>)";
    const std::string page
        = R"(<?xml version="1.0" encoding="utf-8"?><html xmlns="http://www.w3.org/1999/xhtml"><body>)";
    std::string prose;
    for (int i = 0; i < 30; ++i)
        prose += "Every garden needs patience, water and a plan drawn before the spring. ";
    entries.push_back({ "OEBPS/content.opf", opf });
    entries.push_back({ "OEBPS/toc.ncx",
        "<?xml version=\"1.0\"?><ncx xmlns=\"http://www.daisy.org/z3986/2005/ncx/\"><navMap>" + points
            + "</navMap></ncx>" });
    entries.push_back({ "OEBPS/index.xhtml", page + "<h1>Contents</h1>" + list + "</body></html>" });
    entries.push_back({ "OEBPS/intro.xhtml", page + "<p>" + prose + "</p>" + list + "</body></html>" });
    entries.push_back(
        { "OEBPS/list.xhtml", page + "<p>Chapters: <a href=\"c0.xhtml\">Gardening</a></p></body></html>" });
    return entries;
}

} // namespace

TEST(EpubBuild, AnEpub2sOwnContentsPagesAreNoSearchResultsInTheEpubOrItsBook)
{
    TempFolder temp;
    WriteZip(temp / "garden.epub", Epub2WithItsOwnContents());
    ASSERT_EQ(Pack({ "build", (temp / "garden.epub").string(), "-o", (temp / "garden.ebook").string() }).exitCode, 0);
    for (const char* file : { "garden.epub", "garden.ebook" }) {
        const ToolRun run = Pack({ "search", (temp / file).string(), "gardening" });
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_TRUE(Has(run.out, "/OEBPS/c0.xhtml")) << file << "\n" << run.out;
        // The page of chapter links it opens on, and the one its guide names, list the titles only.
        EXPECT_FALSE(Has(run.out, "/OEBPS/index.xhtml")) << file << "\n" << run.out;
        EXPECT_FALSE(Has(run.out, "/OEBPS/list.xhtml")) << file << "\n" << run.out;
        EXPECT_FALSE(Has(run.out, "/contents.html")) << "the page written from the navigation: " << file;
        // A page of prose that links every chapter as well is a page to find.
        EXPECT_TRUE(Has(Pack({ "search", (temp / file).string(), "patience" }).out, "/OEBPS/intro.xhtml")) << file;
    }
}

TEST(EpubBuild, HostileArchivesAreRefusedWithTheReason)
{
    TempFolder temp;
    auto climbing = Epub2();
    climbing.push_back({ "OEBPS/../../etc/passwd", "x" });
    WriteZip(temp / "climb.epub", climbing);
    ToolRun run = Pack({ "build", (temp / "climb.epub").string(), "-o", (temp / "out.ebook").string() });
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(Has(run.err, "entry 'OEBPS/../../etc/passwd' has a \"..\" step")) << run.err;

    // A bomb: an entry that declares 100 bytes and inflates to a mebibyte.
    auto bomb = Epub2();
    bomb.push_back({ "OEBPS/bomb.html", std::string(1 << 20, 'z') });
    WriteZip(temp / "bomb.epub", bomb);
    std::string bytes = ReadFile(temp / "bomb.epub");
    const std::string name = "OEBPS/bomb.html";
    for (std::size_t at = bytes.find(name); at != std::string::npos; at = bytes.find(name, at + 1)) {
        // The local header holds the inflated size 4 bytes before the name's length; the central
        // one 20 bytes before it. Each is patched where its signature says which it is.
        if (at >= 30 && bytes.compare(at - 30, 4, "PK\x03\x04") == 0)
            bytes.replace(at - 30 + 22, 4, std::string("\x64\0\0\0", 4));
        if (at >= 46 && bytes.compare(at - 46, 4, "PK\x01\x02") == 0)
            bytes.replace(at - 46 + 24, 4, std::string("\x64\0\0\0", 4));
    }
    WriteFile(temp / "bomb.epub", bytes);
    run = Pack({ "build", (temp / "bomb.epub").string(), "-o", (temp / "out.ebook").string() });
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(Has(run.err, "bomb.html")) << run.err;
    EXPECT_FALSE(fs::exists(temp / "out.ebook"));

    // Navigation nested a hundred thousand levels deep is read only so far, without exhausting
    // the stack.
    auto deep = Epub3();
    std::string nav = "<html xmlns=\"http://www.w3.org/1999/xhtml\"><body><nav>";
    for (int i = 0; i < 100000; ++i)
        nav += "<ol><li><a href=\"text/one.xhtml\">x</a>";
    for (int i = 0; i < 100000; ++i)
        nav += "</li></ol>";
    deep[3].second = nav + "</nav></body></html>";
    WriteZip(temp / "deep.epub", deep);
    run = Pack({ "build", (temp / "deep.epub").string(), "-o", (temp / "out.ebook").string() });
    EXPECT_EQ(run.exitCode, 0) << run.err;

    WriteZip(temp / "plain.zip", { { "a.txt", "a" } });
    run = Pack({ "build", (temp / "plain.zip").string(), "-o", (temp / "out.ebook").string() });
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(Has(run.err, "plain.zip is a zip archive; unpack it and make a book of the folder")) << run.err;
}

TEST(EpubBuild, AnUnpackedEpubFolderOpensOnItsContentsToo)
{
    TempFolder temp;
    for (const auto& [name, content] : Epub2())
        WriteFile(temp / ("book/" + name), content);
    const ToolRun run = Pack({ "build", (temp / "book").string(), "-o", (temp / "out.ebook").string() });
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.out, "Title: Old Book")) << run.out;
    BookFile book(temp / "out.ebook");
    EXPECT_EQ(book.reader.GetHomePageName(), "/contents.html");
    EXPECT_EQ(book.reader.IndexOfPage("/META-INF/container.xml"), -1);
    EXPECT_TRUE(Has(*book.Page("/contents.html"), "<a href=\"/OEBPS/a.html\">Chapter A</a>"));
}

TEST(EpubBuild, NavigationIsWalkedOnceAndKeptWithinItsBounds)
{
    TempFolder temp;
    const auto build = [&](const std::vector<std::pair<std::string, std::string>>& entries) {
        WriteZip(temp / "in.epub", entries);
        return Pack({ "build", (temp / "in.epub").string(), "-o", (temp / "out.ebook").string() });
    };
    const auto contents = [&] {
        BookFile book(temp / "out.ebook");
        return *book.Page(book.reader.GetHomePageName());
    };
    const auto count = [](const std::string& text, const std::string& part) {
        std::size_t n = 0;
        for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
            ++n;
        return n;
    };

    // A chain of entries, each labelled only at the bottom: an entry without a label of its own
    // takes none from below it, and the chain is cut at the documented depth.
    auto chain = Epub2();
    std::string ncx = "<ncx><navMap>";
    for (int i = 0; i < 200; ++i)
        ncx += "<navPoint><content src=\"a.html\"/>";
    ncx += "<navPoint><navLabel><text>Deepest</text></navLabel><content src=\"a.html\"/></navPoint>";
    for (int i = 0; i < 200; ++i)
        ncx += "</navPoint>";
    chain[3].second = ncx + "</navMap></ncx>";
    ToolRun run = build(chain);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::string page = contents();
    EXPECT_EQ(count(page, "Deepest"), 0u) << "below the depth bound";
    EXPECT_EQ(count(page, "href=\"/OEBPS/a.html\""), 32u) << page.substr(0, 2000);

    // Sibling entries past the bound are left out; every spine document stays linked.
    auto wide = Epub2();
    ncx = "<ncx><navMap>";
    for (int i = 0; i < 30000; ++i)
        ncx += "<navPoint><navLabel><text>E" + std::to_string(i)
            + "</text></navLabel><content src=\"a.html\"/></navPoint>";
    wide[3].second = ncx + "</navMap></ncx>";
    run = build(wide);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    page = contents();
    EXPECT_EQ(count(page, ">E"), 20000u);
    EXPECT_TRUE(Has(page, "<a href=\"/OEBPS/sub/b.html\">B</a>")) << "linked in reading order";

    // A <nav> typed "toc" inside others is found in one walk.
    auto nested = Epub3();
    std::string nav = "<html xmlns=\"http://www.w3.org/1999/xhtml\"><body>";
    for (int i = 0; i < 100; ++i)
        nav += "<nav>";
    nav += "<nav epub:type=\"toc\" xmlns:epub=\"http://www.idpf.org/2007/ops\"><ol><li><a "
           "href=\"text/one.xhtml\">Inner "
           "toc</a></li></ol></nav>";
    for (int i = 0; i < 100; ++i)
        nav += "</nav>";
    nested[3].second = nav + "</body></html>";
    run = build(nested);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(contents(), ">Inner toc</a>"));

    // Navigation too large to parse is not read; a package document that large is refused.
    auto hugeNav = Epub2();
    hugeNav[3].second = "<ncx><navMap>" + std::string(17u << 20, ' ') + "</navMap></ncx>";
    run = build(hugeNav);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.out, "from the EPUB's reading order")) << run.out;
    auto hugePackage = Epub2();
    hugePackage[2].second.insert(hugePackage[2].second.find("<opf:manifest>"), std::string(17u << 20, ' '));
    run = build(hugePackage);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(Has(run.err, "OEBPS/content.opf holds 1782")) << run.err;
}

TEST(EpubBuild, EntryNamesAreReadAsLinksResolveAndCannotTakeTheContentsPagesPlace)
{
    TempFolder temp;
    auto epub = Epub2();
    epub.push_back({ "CONTENTS.HTML", "<title>author's own</title>" });
    epub.push_back({ "./top.html", "top" });
    epub.push_back({ "OEBPS//double.html", "double" });
    epub.push_back({ "OEBPS/./dot.html", "dot" });
    WriteZip(temp / "names.epub", epub);
    ToolRun run = Pack({ "build", (temp / "names.epub").string(), "-o", (temp / "out.ebook").string() });
    ASSERT_EQ(run.exitCode, 0) << run.err;
    BookFile book(temp / "out.ebook");
    EXPECT_EQ(book.reader.GetHomePageName(), "/contents-2.html") << "contents.html is taken whatever its case";
    EXPECT_EQ(book.Page("/CONTENTS.HTML"), "<title>author's own</title>");
    EXPECT_EQ(book.Page("/top.html"), "top");
    EXPECT_EQ(book.Page("/OEBPS/double.html"), "double");
    EXPECT_EQ(book.Page("/OEBPS/dot.html"), "dot");
    EXPECT_EQ(Pack({ "verify", (temp / "out.ebook").string() }).exitCode, 0);

    auto twice = Epub2();
    twice.push_back({ "OEBPS/./a.html", "another a" });
    WriteZip(temp / "twice.epub", twice);
    run = Pack({ "build", (temp / "twice.epub").string(), "-o", (temp / "out2.ebook").string() });
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(Has(run.err, "entries 'OEBPS/a.html' and 'OEBPS/./a.html' both name OEBPS/a.html")) << run.err;
}

TEST(EpubBuild, AnUnpackedEpubReadsOnlyTheFilesItsFolderWalkTakes)
{
    TempFolder temp;
    for (const auto& [name, content] : Epub2())
        WriteFile(temp / ("book/" + name), content);
    // A navigation file reached through a link to a folder outside the book.
    WriteFile(temp / "outside/toc.ncx",
        "<ncx><navMap><navPoint><navLabel><text>Secret</text></navLabel><content src=\"a.html\"/></navPoint></navMap></"
        "ncx>");
    fs::remove(temp / "book/OEBPS/toc.ncx");
    fs::create_directory_symlink(temp / "outside", temp / "book/OEBPS/out");
    std::string opf = ReadFile(temp / "book/OEBPS/content.opf");
    opf.replace(opf.find("href=\"toc.ncx\""), 14, "href=\"out/toc.ncx\"");
    WriteFile(temp / "book/OEBPS/content.opf", opf);
    // Followed and named like any link out of the folder; with --no-follow-outside never read.
    ToolRun run = Pack({ "build", (temp / "book").string(), "-o", (temp / "out.ebook").string() });
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.out + run.err, "outside the folder")) << run.out << run.err;
    run = Pack({ "build", (temp / "book").string(), "-o", (temp / "out.ebook").string(), "--no-follow-outside" });
    ASSERT_EQ(run.exitCode, 0) << run.err;
    BookFile book(temp / "out.ebook");
    EXPECT_FALSE(Has(*book.Page("/contents.html"), "Secret"));

    // A package document that is a device or a FIFO is not opened: the build ends at once,
    // saying what it misses.
    for (const std::string& special : { std::string("/dev/zero"), std::string("fifo") }) {
        fs::remove(temp / "book/OEBPS/content.opf");
        if (special == "fifo")
            ASSERT_EQ(::mkfifo((temp / "book/OEBPS/content.opf").c_str(), 0600), 0);
        else
            fs::create_symlink(special, temp / "book/OEBPS/content.opf");
        run = RunPackBinary(
            "build '" + (temp / "book").string() + "' -o '" + (temp / "out.ebook").string() + "'", temp);
        EXPECT_EQ(run.exitCode, 2) << special << run.err;
        EXPECT_TRUE(Has(run.err, "it has no OEBPS/content.opf")) << special << run.err;
    }
}
