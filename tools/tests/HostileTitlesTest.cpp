#include "common/BookText.h"
#include "common/DisplayText.h"
#include "tools/tests/BookFile.h"
#include "tools/tests/PackFixture.h"

#include <gtest/gtest.h>
#include <zip.h>

namespace fs = std::filesystem;

namespace {

// A zip archive of the entries, their names stored as they are (libzip marks no name holding ESC
// as UTF-8).
void WriteRawZip(const fs::path& path, const std::vector<std::pair<std::string, std::string>>& entries)
{
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(archive, nullptr);
    for (const auto& [name, content] : entries) {
        zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
        ASSERT_GE(zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_RAW), 0) << name;
    }
    ASSERT_EQ(zip_close(archive), 0);
}

} // namespace

TEST(HostileTitles, TitlesAreCutAndNamesEscapedWhereverTheToolPrintsThem)
{
    TempFolder temp;
    const std::string longTitle(60000, 'T'); // a title is looked for in the first 64 KiB
    const std::string escapeName = "\x1b]0;owned\x07\x1b[31mred.html";
    WriteFile(temp / "src/index.html", "<title>" + longTitle + "</title><p>home</p>");
    WriteFile(temp / ("src/" + escapeName), "<p>red</p>");
    const std::string book = (temp / "out.ebook").string();

    const ToolRun build = Pack({ "build", (temp / "src").string(), "-o", book });
    ASSERT_EQ(build.exitCode, 0) << build.err;
    const std::string cut = std::string(kDisplayTextLength, 'T') + "\xE2\x80\xA6";
    EXPECT_NE(build.out.find("Title: " + cut + " (the <title> of /index.html"), std::string::npos);
    EXPECT_LT(build.out.size(), 4096u);
    EXPECT_EQ(BookTextToUtf8(BookFile(temp / "out.ebook").reader.title()), cut) << "the book keeps what can be shown";

    const std::string escaped = "\\x1b]0;owned\\x07\\x1b[31mred.html";
    for (const std::vector<std::string>& command :
        { std::vector<std::string> { "list", book }, std::vector<std::string> { "info", book },
            std::vector<std::string> { "extract", book, "-d", (temp / "x").string(), "/nothing\x1b[2J" } }) {
        const ToolRun run = Pack(command);
        EXPECT_EQ((run.out + run.err).find('\x1b'), std::string::npos) << command[0] << ": " << run.out << run.err;
        EXPECT_LT(run.out.size(), 4096u) << command[0];
    }
    EXPECT_NE(Pack({ "list", book }).out.find(escaped), std::string::npos);
    EXPECT_NE(Pack({ "extract", book, "-d", (temp / "x").string(), "/nothing\x1b[2J" }).err.find("/nothing\\x1b[2J"),
        std::string::npos);

    // The folder walk's notes and warnings name files the same way.
    WriteFile(temp / ("src/" + std::string("Red\x1b[0m.HTML")), "x");
    WriteFile(temp / ("src/" + std::string("red\x1b[0m.html")), "x");
    const ToolRun warned = Pack({ "build", (temp / "src").string(), "-o", book });
    ASSERT_EQ(warned.exitCode, 0) << warned.err;
    EXPECT_NE(warned.err.find("red\\x1b[0m.html"), std::string::npos) << warned.err;
    EXPECT_EQ((warned.out + warned.err).find('\x1b'), std::string::npos) << warned.err;
}

// A page named with an escape sequence is shown escaped by every command, whatever the kind of
// book holds it: a folder, an EPUB read in place, a book file.
TEST(HostileTitles, APageNameWithAnEscapeIsShownEscapedForEveryKind)
{
    TempFolder temp;
    const std::string name = "a\x1b[31mred.htm";
    WriteFile(temp / "folder/index.htm", "<title>Home</title><a href=\"a%1B[31mred.htm\">red</a>");
    WriteFile(temp / ("folder/" + name), "<title>Red</title><p>crimson</p>");
    const std::string book = (temp / "red.ebook").string();
    ASSERT_EQ(Pack({ "build", (temp / "folder").string(), "-o", book }).exitCode, 0);
    const std::string opf = R"(<?xml version="1.0"?>
<package xmlns="http://www.idpf.org/2007/opf" version="2.0"><metadata/>
  <manifest><item id="a" href="index.htm" media-type="application/xhtml+xml"/></manifest>
  <spine><itemref idref="a"/></spine></package>)";
    WriteRawZip(temp / "red.epub",
        { { "mimetype", "application/epub+zip" },
            { "META-INF/container.xml",
                R"(<?xml version="1.0"?><container version="1.0" xmlns="urn:oasis:names:tc:opendocument:xmlns:container">)"
                R"(<rootfiles><rootfile full-path="book.opf" media-type="application/oebps-package+xml"/></rootfiles></container>)" },
            { "book.opf", opf }, { "index.htm", "<title>Home</title>" }, { name, "<p>crimson</p>" } });

    // A zip entry's name not marked as UTF-8 is read as code page 437, where ESC is an arrow: the
    // EPUB's page has no ESC to escape, and it must stay so.
    for (const auto& [path, shown] : { std::pair<std::string, std::string> { (temp / "folder").string(), "\\x1b" },
             std::pair<std::string, std::string> { (temp / "red.epub").string(), "\xE2\x86\x90" },
             std::pair<std::string, std::string> { book, "\\x1b" } }) {
        SCOPED_TRACE(path);
        const ToolRun list = Pack({ "list", path });
        ASSERT_EQ(list.exitCode, 0) << list.err;
        EXPECT_NE(list.out.find("/a" + shown + "[31mred.htm\n"), std::string::npos) << list.out;
        for (const std::vector<std::string>& command : { std::vector<std::string> { "list", path, "--json" },
                 { "info", path }, { "verify", path }, { "search", path, "crimson" }, { "contents", path },
                 { "extract", path, "-d", (temp / "out").string(), "/nothing\x1b[2J", name } }) {
            const ToolRun run = Pack(command);
            EXPECT_EQ((run.out + run.err).find('\x1b'), std::string::npos) << command[0] << ": " << run.out << run.err;
        }
        fs::remove_all(temp / "out");
    }
}

namespace {

// Every line of a command's output: no raw ESC, CR or BEL, and none longer than the bound.
void ExpectShortEscapedLines(const ToolRun& run, std::size_t bound, const std::string& what)
{
    const std::string all = run.out + run.err;
    EXPECT_EQ(all.find_first_of("\x1b\r\x07"), std::string::npos) << what << ": " << all.substr(0, 2000);
    std::size_t start = 0;
    for (std::size_t end = all.find('\n'); end != std::string::npos; start = end + 1, end = all.find('\n', start))
        EXPECT_LE(end - start, bound) << what << ": " << all.substr(start, 300);
    EXPECT_LE(all.size() - start, bound) << what;
}

} // namespace

// Titles of a megabyte and titles holding escape sequences and line breaks, in the stored
// contents of a book, the contents of a folder and the navigation of an EPUB: every command
// prints them as short escaped lines.
TEST(HostileTitles, ContentsInfoAndSearchPrintBooksTextAsShortEscapedLines)
{
    TempFolder temp;
    const std::string huge(1u << 20, 'x');
    const std::string hostile = "\x1b]0;owned\x07\x1b[2JChapter\r\nOne";
    WriteFile(temp / "src/index.html", "<title>Home</title><a href=\"one.html\">one</a>");
    WriteFile(temp / "src/one.html", "<title>" + hostile + "</title><p>crimson</p>");
    WriteFile(temp / "src/book.json",
        R"({"title": ")" + huge + R"(", "description": "\u001b[2J)" + huge + R"(", "contents": [)"
            + R"({"title": "\u001b]0;owned\u0007\u001b[2JChapter\r\nOne", "page": "one.html"},)" + R"({"title": ")"
            + huge + R"(", "page": "index.html", "children": [{"title": ")" + huge
            + R"(", "page": "one.html#a\u001b[2J"}]}]})");
    const std::string book = (temp / "out.ebook").string();
    ASSERT_EQ(Pack({ "build", (temp / "src").string(), "-o", book }).exitCode, 0);

    const std::string ncx = "<?xml version=\"1.0\"?><ncx xmlns=\"http://www.daisy.org/z3986/2005/ncx/\"><navMap>"
                            "<navPoint id=\"a\"><navLabel><text>"
        + hostile + "</text></navLabel><content src=\"one.html\"/></navPoint><navPoint id=\"b\"><navLabel><text>" + huge
        + "</text></navLabel><content src=\"one.html\"/></navPoint></navMap></ncx>";
    const std::string opf = "<?xml version=\"1.0\"?><package xmlns=\"http://www.idpf.org/2007/opf\" "
                            "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" version=\"2.0\"><metadata><dc:title>"
        + hostile + huge + "</dc:title><dc:language>" + hostile + "</dc:language></metadata><manifest>"
        + "<item id=\"n\" href=\"toc.ncx\" media-type=\"application/x-dtbncx+xml\"/>"
        + "<item id=\"a\" href=\"one.html\" media-type=\"application/xhtml+xml\"/></manifest>"
        + "<spine toc=\"n\"><itemref idref=\"a\"/></spine></package>";
    WriteRawZip(temp / "hostile.epub",
        { { "mimetype", "application/epub+zip" },
            { "META-INF/container.xml",
                R"(<?xml version="1.0"?><container version="1.0" xmlns="urn:oasis:names:tc:opendocument:xmlns:container">)"
                R"(<rootfiles><rootfile full-path="book.opf" media-type="application/oebps-package+xml"/></rootfiles></container>)" },
            { "book.opf", opf }, { "toc.ncx", ncx }, { "one.html", "<title>" + hostile + "</title><p>crimson</p>" } });

    // A line holds at most an indent, a title and a page, each cut to the bound.
    const std::size_t bound = 2 * (kDisplayTextLength + 3) + 32;
    // An EPUB's labels and title are read as one line already (controls as blanks): only the
    // length shows there.
    for (const auto& [path, escapes] :
        { std::pair<std::string, bool> { (temp / "src").string(), true }, std::pair<std::string, bool> { book, true },
            std::pair<std::string, bool> { (temp / "hostile.epub").string(), false } }) {
        SCOPED_TRACE(path);
        const ToolRun contents = Pack({ "contents", path });
        EXPECT_EQ(contents.exitCode, 0) << contents.err;
        if (escapes) {
            EXPECT_NE(contents.out.find("\\x1b[2JChapter"), std::string::npos) << contents.out.substr(0, 2000);
        }
        ExpectShortEscapedLines(contents, bound, "contents");
        const ToolRun info = Pack({ "info", path });
        EXPECT_EQ(info.exitCode, 0) << info.err;
        ExpectShortEscapedLines(info, 20 + kDisplayTextLength + 3, "info");
        const ToolRun search = Pack({ "search", path, "crimson" });
        EXPECT_EQ(search.exitCode, 0) << search.err;
        if (escapes) {
            EXPECT_NE(search.out.find("[2JChapter One"), std::string::npos) << search.out;
        }
        ExpectShortEscapedLines(search, bound, "search");
        // The JSON keeps the text whole (an EPUB's was cut as it was read), escaped as JSON escapes it.
        for (const std::string command : { "contents", "info", "search" }) {
            const ToolRun json = command == "search" ? Pack({ command, path, "crimson", "--json" })
                                                     : Pack({ command, path, "--json" });
            EXPECT_EQ(json.out.find_first_of("\x1b\r\x07"), std::string::npos) << command;
            if (escapes && command != "search") {
                EXPECT_NE(json.out.find(std::string(1u << 20, 'x')), std::string::npos) << command;
            }
        }
    }
    // The EPUB's title was over a megabyte: the line shows its first 256 characters, 25 before the x.
    const ToolRun epubInfo = Pack({ "info", (temp / "hostile.epub").string() });
    EXPECT_NE(
        epubInfo.out.find("One" + std::string(kDisplayTextLength - 25, 'x') + "\xE2\x80\xA6\n"), std::string::npos)
        << epubInfo.out;
}
