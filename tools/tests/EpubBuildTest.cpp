#include "tools/tests/BookFile.h"
#include "tools/tests/PackFixture.h"

#include <gtest/gtest.h>
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
    EXPECT_TRUE(Has(run.err, "neither a folder nor an EPUB")) << run.err;
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
