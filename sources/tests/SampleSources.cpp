#include "sources/tests/SampleSources.h"

#include "book/BookWriter.h"
#include "common/Streams.h"

#include <zim/writer/creator.h>
#include <zim/writer/item.h>
#include <zip.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

const std::string kStyle = "body { margin: 1em; }\n";

void Write(const fs::path& path, const std::string& content)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

const std::string kContainer = R"(<?xml version="1.0"?>
<container version="1.0" xmlns="urn:oasis:names:tc:opendocument:xmlns:container">
  <rootfiles><rootfile full-path="OEBPS/content.opf" media-type="application/oebps-package+xml"/></rootfiles>
</container>)";

std::string XhtmlOf(const std::string& html)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n" + html;
}

} // namespace

TScratchFolder::TScratchFolder()
    : path_(fs::temp_directory_path() / ("ebook-formats-" + std::to_string(std::random_device()())))
{
    fs::create_directories(path_);
}

TScratchFolder::~TScratchFolder()
{
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string SampleHomePage(const std::string& chapterHref)
{
    return "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>Home</title></head><body><h1>Home</h1>"
           "<p><a id=\"next\" href=\""
        + chapterHref + "\">Chapter</a></p></body></html>";
}

std::string SampleChapterPage()
{
    return "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>Chapter</title></head><body><h1 "
           "id=\"part\">Chapter</h1><p>How to vacuum a table.</p></body></html>";
}

void WriteZip(const fs::path& path, const std::vector<std::pair<std::string, std::string>>& entries)
{
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive)
        throw std::runtime_error("cannot write " + path.string());
    for (const auto& [name, content] : entries) {
        zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
        if (zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8) < 0)
            throw std::runtime_error("cannot add " + name);
    }
    if (zip_close(archive) != 0)
        throw std::runtime_error("cannot close " + path.string());
}

void WriteSampleEpub(const fs::path& path)
{
    const std::string opf = std::string(R"(<?xml version="1.0" encoding="utf-8"?>
<package xmlns="http://www.idpf.org/2007/opf" version="3.0" unique-identifier="id">
  <metadata xmlns:dc="http://purl.org/dc/elements/1.1/">
    <dc:title>)")
        + kSampleTitle + R"(</dc:title><dc:creator>A. Writer</dc:creator><dc:language>en</dc:language>
  </metadata>
  <manifest>
    <item id="nav" href="nav.xhtml" media-type="application/xhtml+xml" properties="nav"/>
    <item id="home" href="index.xhtml" media-type="application/xhtml+xml"/>
    <item id="chapter" href="text/chapter.xhtml" media-type="application/xhtml+xml"/>
    <item id="style" href="style.css" media-type="text/css"/>
  </manifest>
  <spine><itemref idref="home"/><itemref idref="chapter"/></spine>
</package>)";
    const std::string nav = R"(<?xml version="1.0" encoding="utf-8"?>
<html xmlns="http://www.w3.org/1999/xhtml" xmlns:epub="http://www.idpf.org/2007/ops"><body>
<nav epub:type="toc"><ol>
  <li><a href="index.xhtml">Home</a>
    <ol><li><a href="text/chapter.xhtml#part">Chapter</a></li></ol></li>
</ol></nav></body></html>)";
    WriteZip(path,
        { { "mimetype", "application/epub+zip" }, { "META-INF/container.xml", kContainer },
            { "OEBPS/content.opf", opf }, { "OEBPS/nav.xhtml", nav },
            { "OEBPS/index.xhtml", XhtmlOf(SampleHomePage("text/chapter.xhtml")) },
            { "OEBPS/text/chapter.xhtml", XhtmlOf(SampleChapterPage()) }, { "OEBPS/style.css", kStyle } });
}

void WriteZim(const fs::path& path, const std::vector<TZimPage>& pages, bool fullTextIndex)
{
    zim::writer::Creator creator;
    creator.configIndexing(fullTextIndex, "eng");
    creator.configNbWorkers(1);
    creator.startZimCreation(path.string());
    const zim::writer::Hints front { { zim::writer::FRONT_ARTICLE, 1 } };
    for (const TZimPage& page : pages)
        creator.addItem(zim::writer::StringItem::create(page.path, "text/html", page.title, front, page.html));
    if (!pages.empty())
        creator.setMainPath(pages.front().path);
    creator.finishZimCreation();
}

void WriteSampleZim(const fs::path& path, SampleZimShape shape, const std::string& illustration)
{
    using zim::writer::StringItem;
    zim::writer::Creator creator;
    creator.configIndexing(shape.fullTextIndex, "eng");
    if (!shape.compressed)
        creator.configCompression(zim::Compression::None);
    if (shape.clusterPerEntry)
        creator.configClusterSize(1);
    creator.configNbWorkers(1);
    creator.startZimCreation(path.string());
    const zim::writer::Hints front { { zim::writer::FRONT_ARTICLE, 1 } };
    creator.addItem(StringItem::create("index.html", "text/html", "Home", front, SampleHomePage("chapter.html")));
    creator.addItem(StringItem::create("chapter.html", "text/html", "Chapter", front, SampleChapterPage()));
    creator.addItem(StringItem::create("style.css", "text/css", "", zim::writer::Hints(), kStyle));
    creator.addRedirection("start", "Start", "index.html");
    creator.addMetadata("Title", kSampleTitle);
    creator.addMetadata("Description", "A sample of every kind");
    creator.addMetadata("Creator", "A. Writer");
    creator.addMetadata("Language", "eng");
    if (!illustration.empty())
        creator.addIllustration(48, illustration);
    creator.setMainPath("index.html");
    creator.finishZimCreation();
}

std::pair<uint64_t, uint64_t> ZimFullTextIndexPlace(const fs::path& path)
{
    const std::string zim = ReadBytes(path);
    const auto number = [&](uint64_t at, int count) {
        uint64_t value = 0;
        for (int i = 0; i < count && at + static_cast<uint64_t>(i) < zim.size(); ++i)
            value |= uint64_t { static_cast<unsigned char>(zim[at + static_cast<uint64_t>(i)]) } << (8 * i);
        return value;
    };
    // The path list (header byte 32) points to each entry: namespace at byte 3, cluster and blob
    // numbers at 8 and 12, path from 16. The cluster list is at header byte 48; an uncompressed
    // cluster is a byte of flags (0x10: offsets of 8 bytes), then its blobs' offsets from there.
    const std::string wanted = std::string("fulltext/xapian") + '\0';
    for (uint64_t i = 0; i < number(24, 4); ++i) {
        const uint64_t at = number(number(32, 8) + 8 * i, 8);
        if (zim.compare(at + 16, wanted.size(), wanted) != 0 || zim[at + 3] != 'X')
            continue;
        const uint64_t cluster = number(number(48, 8) + 8 * number(at + 8, 4), 8);
        const int width = (zim[cluster] & 0x10) != 0 ? 8 : 4;
        const uint64_t blob = number(at + 12, 4);
        const uint64_t begin = number(cluster + 1 + blob * static_cast<uint64_t>(width), width);
        const uint64_t end = number(cluster + 1 + (blob + 1) * static_cast<uint64_t>(width), width);
        return { cluster + 1 + begin, end - begin };
    }
    throw std::runtime_error("no full-text index in " + path.string());
}

std::optional<fs::path> CompileChm(
    const fs::path& work, const std::vector<std::pair<std::string, std::string>>& files, const std::string& options)
{
    if (std::system("command -v chmcmd >/dev/null 2>&1") != 0)
        return std::nullopt;
    std::string project = "[OPTIONS]\nCompatibility=1.1 or later\nCompiled file=sample.chm\nDisplay compile "
                          "progress=No\nLanguage=0x409 English (United States)\nTitle="
        + std::string(kSampleTitle) + "\n" + options + "\n[FILES]\n";
    for (const auto& [name, content] : files) {
        Write(work / name, content);
        project += name + "\n";
    }
    Write(work / "sample.hhp", project);
    const std::string command = "cd '" + work.string() + "' && chmcmd sample.hhp >chmcmd.log 2>&1";
    if (std::system(command.c_str()) != 0 || !fs::exists(work / "sample.chm"))
        throw std::runtime_error("chmcmd failed; see " + (work / "chmcmd.log").string());
    return work / "sample.chm";
}

std::optional<fs::path> CompileSampleChm(const fs::path& work)
{
    Write(work / "toc.hhc", R"(<HTML><BODY><UL>
<LI><OBJECT type="text/sitemap"><param name="Name" value="Home"><param name="Local" value="index.html"></OBJECT>
<UL><LI><OBJECT type="text/sitemap"><param name="Name" value="Chapter"><param name="Local" value="sub/chapter.html"></OBJECT></UL>
</UL></BODY></HTML>
)");
    Write(work / "keywords.hhk", R"(<HTML><BODY><UL>
<LI><OBJECT type="text/sitemap"><param name="Name" value="vacuum"><param name="Local" value="sub/chapter.html"></OBJECT>
</UL></BODY></HTML>
)");
    return CompileChm(work,
        { { "index.html", SampleHomePage("sub/chapter.html") }, { "sub/chapter.html", SampleChapterPage() },
            { "style.css", kStyle } },
        "Contents file=toc.hhc\nIndex file=keywords.hhk\nDefault topic=index.html\n");
}

void WriteSampleFolder(const fs::path& folder)
{
    Write(folder / "index.html", SampleHomePage("sub/chapter.html"));
    Write(folder / "sub/chapter.html", SampleChapterPage());
    Write(folder / "style.css", kStyle);
}

void WriteSampleBook(const fs::path& path, const std::string& prefix)
{
    TBookWriter writer;
    writer.settings.title = kSampleTitle;
    writer.AddPage("/index.html", SampleHomePage("sub/chapter.html"));
    writer.AddPage("/sub/chapter.html", SampleChapterPage());
    writer.AddPage("/style.css", kStyle);
    writer.settings.homePageIndex = 0;
    TFileStream file(path.string(), TFileStream::Mode::Create);
    file.WriteBuffer(prefix.data(), static_cast<int64_t>(prefix.size()));
    writer.SaveToStream(file);
}

std::string ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

uint64_t Number(const std::string& bytes, std::size_t at, int count)
{
    uint64_t value = 0;
    for (int i = 0; i < count; ++i)
        value |= uint64_t { static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]) } << (8 * i);
    return value;
}

void SetNumber(std::string& bytes, std::size_t at, int count, uint64_t value)
{
    for (int i = 0; i < count; ++i)
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xff);
}
