// The order a reader goes through a book's pages, what an EPUB opens on and leaves to navigation,
// and what a damaged EPUB is called.
#include "sources/ReadingPages.h"
#include "sources/EpubBook.h"
#include "sources/OpenSource.h"
#include "sources/SourceContents.h"
#include "sources/SourceKind.h"
#include "sources/tests/SampleSources.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;

namespace {

std::string Xhtml(const std::string& title)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><html xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>"
        + title + "</title></head><body><p>" + title + "</p></body></html>";
}

// An EPUB whose spine holds a cover and an interlude its navigation leaves out, and whose
// navigation document is in the spine, as converters put it there; its container comes first and
// its mimetype entry last, as in Debian's live manual.
fs::path WriteSpineEpub(const TScratchFolder& temp)
{
    const std::string opf = R"(<?xml version="1.0" encoding="utf-8"?>
<package xmlns="http://www.idpf.org/2007/opf" version="3.0" unique-identifier="id">
  <metadata xmlns:dc="http://purl.org/dc/elements/1.1/"><dc:title>Spine</dc:title></metadata>
  <manifest>
    <item id="nav" href="nav.xhtml" media-type="application/xhtml+xml" properties="nav"/>
    <item id="cover" href="cover.xhtml" media-type="application/xhtml+xml"/>
    <item id="c1" href="text/one.xhtml" media-type="application/xhtml+xml"/>
    <item id="i" href="text/interlude.xhtml" media-type="application/xhtml+xml"/>
    <item id="c2" href="text/two.xhtml" media-type="application/xhtml+xml"/>
  </manifest>
  <spine><itemref idref="cover"/><itemref idref="nav"/><itemref idref="c1"/><itemref idref="i"/>
  <itemref idref="c2"/></spine>
</package>)";
    const std::string nav = R"(<?xml version="1.0" encoding="utf-8"?>
<html xmlns="http://www.w3.org/1999/xhtml" xmlns:epub="http://www.idpf.org/2007/ops"><body>
<nav epub:type="toc"><ol><li><a href="text/one.xhtml">One</a>
  <ol><li><a href="text/one.xhtml#later">One later</a></li></ol></li>
  <li><a href="text/two.xhtml">Two</a></li></ol></nav></body></html>)";
    const std::string container = R"(<?xml version="1.0"?>
<container version="1.0" xmlns="urn:oasis:names:tc:opendocument:xmlns:container">
<rootfiles><rootfile full-path="OEBPS/content.opf" media-type="application/oebps-package+xml"/></rootfiles>
</container>)";
    const fs::path path = temp / "spine.epub";
    WriteZip(path,
        { { "META-INF/container.xml", container }, { "OEBPS/content.opf", opf }, { "OEBPS/nav.xhtml", nav },
            { "OEBPS/cover.xhtml", Xhtml("Cover") }, { "OEBPS/text/one.xhtml", Xhtml("One") },
            { "OEBPS/text/interlude.xhtml", Xhtml("Interlude") }, { "OEBPS/text/two.xhtml", Xhtml("Two") },
            { "mimetype", "application/epub+zip" } });
    return path;
}

std::string Written(const TReadingPages& order)
{
    std::string text;
    for (const TReadingPage& page : order.pages)
        text += (text.empty() ? "" : " ") + page.page + "@" + std::to_string(page.chapter);
    return text + " of " + std::to_string(order.chapters);
}

} // namespace

TEST(ReadingPages, AnEpubIsReadInContentsOrderWithTheSpinePlacingWhatTheContentsLeaveOut)
{
    TScratchFolder temp;
    TEpubBook epub(WriteSpineEpub(temp).string());
    EXPECT_EQ(Written(PagesInReadingOrder(epub, ContentsOfSource(epub))),
        "/OEBPS/cover.xhtml@0 /OEBPS/text/one.xhtml@1 /OEBPS/text/interlude.xhtml@1 /OEBPS/text/two.xhtml@2 of 2");
    // It opens on the cover, not on the contents page written for it nor on its navigation.
    const TBookSource& source = epub;
    EXPECT_EQ(OpeningPageOf(source), "/OEBPS/cover.xhtml");
    EXPECT_EQ(epub.HomePageName(), "/contents.html");
    EXPECT_TRUE(IsNavigationPage(source, "/CONTENTS.html"));
    EXPECT_TRUE(IsNavigationPage(source, "/OEBPS/nav.xhtml"));
    EXPECT_FALSE(IsNavigationPage(source, "/OEBPS/text/one.xhtml"));
}

TEST(ReadingPages, AFolderIsReadFromItsHomePageThroughItsContentsThenItsOtherPages)
{
    TScratchFolder temp;
    const fs::path root = temp / "site";
    fs::create_directories(root / "guide");
    std::ofstream(root / "index.html") << "<html><body><ul><li><a href='guide/b.html'>B</a><ul>"
                                       << "<li><a href='guide/b.html#x'>B again</a></li>"
                                       << "<li><a href='a.html'>A</a></li></ul></li></ul></body></html>";
    for (const char* page : { "a.html", "guide/b.html", "z.html", "guide/aside.htm" })
        std::ofstream(root / page) << "<p>" << page << "</p>";
    std::ofstream(root / "style.css") << "p {}";
    const auto folder = OpenBookSource(root.string());
    EXPECT_EQ(OpeningPageOf(*folder), folder->HomePageName());
    EXPECT_FALSE(IsNavigationPage(*folder, "/index.html"));
    const TReadingPages order = PagesInReadingOrder(*folder, ContentsOfSource(*folder));
    ASSERT_EQ(order.chapters, 2) << Written(order);
    ASSERT_GE(order.pages.size(), 5U) << Written(order);
    EXPECT_EQ(order.pages[0].page, "/index.html");
    EXPECT_EQ(Written({ { order.pages.begin() + 1, order.pages.begin() + 3 }, 2 }), "/guide/b.html@1 /a.html@2 of 2");
    // The rest follow in the folder's order, each once, all under the last chapter; no style sheet.
    std::vector<std::string> rest;
    for (auto page = order.pages.begin() + 3; page != order.pages.end(); ++page) {
        EXPECT_EQ(page->chapter, 2);
        rest.push_back(page->page);
    }
    std::sort(rest.begin(), rest.end());
    EXPECT_EQ(rest, (std::vector<std::string> { "/guide/aside.htm", "/z.html" }));
    EXPECT_EQ(ReadingPageKey("./Guide/B.html#x"), "guide/b.html");
}

TEST(ReadingPages, ACutShortEpubIsCalledADamagedEpubWithWhatIsWrong)
{
    TScratchFolder temp;
    WriteSampleEpub(temp / "whole.epub");
    // Some converters write the container first and the mimetype entry last.
    WriteSpineEpub(temp);
    for (const char* whole : { "whole.epub", "spine.epub" }) {
        const std::string bytes = ReadBytes(temp / whole);
        const std::string half = (temp / ("half-" + std::string(whole))).string();
        std::ofstream(half, std::ios::binary) << bytes.substr(0, bytes.size() / 2);
        EXPECT_FALSE(DetectSourceKind(half));
        const auto hint = NotABookHint(half);
        ASSERT_TRUE(hint);
        EXPECT_EQ(hint->rfind(half + " is a damaged EPUB: the file is cut short (", 0), 0U) << *hint;
        EXPECT_EQ(hint->find("zip archive; unpack it"), std::string::npos) << *hint;
    }
    // A zip that never was an EPUB keeps the hint that says how to make a book of it.
    WriteZip(temp / "site.zip", { { "index.html", "<p>x</p>" } });
    const std::string site = ReadBytes(temp / "site.zip");
    std::ofstream(temp / "cut.zip", std::ios::binary) << site.substr(0, site.size() / 2);
    const auto zipHint = NotABookHint((temp / "cut.zip").string());
    ASSERT_TRUE(zipHint);
    EXPECT_NE(zipHint->find("is a zip archive; unpack it"), std::string::npos) << *zipHint;
}
