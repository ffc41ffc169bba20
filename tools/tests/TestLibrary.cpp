#include "tools/tests/TestLibrary.h"

#include "server/http/HTTPRequestInfo.h"
#include "sources/OpenSource.h"
#include "sources/tests/SampleSources.h"
#include "tools/packtool/ServeSearch.h"

#include <algorithm>
#include <stdexcept>

namespace fs = std::filesystem;

const std::string TTestLibrary::kCover = std::string("\xFF\xD8\xFF\xE0", 4) + "a cover picture";
const std::string TTestLibrary::kFavicon = std::string("\x89PNG\r\n\x1A\n", 8) + "a favicon";
const std::string TTestLibrary::kIllustration = std::string("\x89PNG\r\n\x1A\n", 8) + "an illustration";

namespace {

void WriteCoverEpub(const fs::path& path)
{
    const std::string container = R"(<?xml version="1.0"?>
<container version="1.0" xmlns="urn:oasis:names:tc:opendocument:xmlns:container"><rootfiles>
<rootfile full-path="OEBPS/content.opf" media-type="application/oebps-package+xml"/></rootfiles></container>)";
    const std::string opf = R"(<?xml version="1.0" encoding="utf-8"?>
<package xmlns="http://www.idpf.org/2007/opf" version="3.0" unique-identifier="id">
  <metadata xmlns:dc="http://purl.org/dc/elements/1.1/">
    <dc:title>Covered Book</dc:title><dc:creator>A. Writer</dc:creator><dc:creator>B. Painter</dc:creator>
    <dc:language>de-CH</dc:language><dc:description>Pictures and words</dc:description>
  </metadata>
  <manifest>
    <item id="nav" href="nav.xhtml" media-type="application/xhtml+xml" properties="nav"/>
    <item id="chapter" href="text/chapter.xhtml" media-type="application/xhtml+xml"/>
    <item id="cover" href="images/cover.jpg" media-type="image/jpeg" properties="cover-image"/>
  </manifest>
  <spine><itemref idref="chapter"/></spine>
</package>)";
    const std::string nav = R"(<?xml version="1.0" encoding="utf-8"?>
<html xmlns="http://www.w3.org/1999/xhtml" xmlns:epub="http://www.idpf.org/2007/ops"><body>
<nav epub:type="toc"><ol><li><a href="text/chapter.xhtml">Chapter</a></li></ol></nav></body></html>)";
    const std::string chapter = R"(<?xml version="1.0" encoding="utf-8"?>
<html xmlns="http://www.w3.org/1999/xhtml"><head><title>Chapter</title></head><body>
<h1>Chapter</h1><p>The )"
        + std::string(kSampleWord) + R"( of space.</p></body></html>)";
    WriteZip(path,
        { { "mimetype", "application/epub+zip" }, { "META-INF/container.xml", container }, { "OEBPS/content.opf", opf },
            { "OEBPS/nav.xhtml", nav }, { "OEBPS/text/chapter.xhtml", chapter },
            { "OEBPS/images/cover.jpg", TTestLibrary::kCover } });
}

} // namespace

TTestLibrary::TTestLibrary()
{
    WriteSampleBook(temp / "book.ebook");
    Add("book", (temp / "book.ebook").string());
    WriteCoverEpub(temp / "cover.epub");
    Add("cover", (temp / "cover.epub").string());
    WriteSampleFolder(temp / "folder");
    WriteFile(temp / "folder" / "favicon.png", kFavicon);
    Add("folder", (temp / "folder").string());
    WriteSampleZim(temp / "sample.zim", {}, kIllustration);
    Add("zim", (temp / "sample.zim").string());
}

void TTestLibrary::Add(const std::string& name, const std::string& path)
{
    auto book = std::make_shared<TLibraryBook>();
    book->name = name;
    book->path = path;
    book->source = OpenBookSource(path);
    book->pages = book->source;
    book->title = name == "book" ? kHostileTitle : book->source->Title();
    book->description = name == "book" ? kHostileDescription : book->source->Description();
    book->language = book->source->Language();
    book->pageCount = static_cast<int64_t>(book->source->PageNames().size());
    book->fileSize = name == "folder" ? 0 : static_cast<int64_t>(fs::file_size(path));
    book->modified = kModified;
    book->version = name + "-1";
    book->search = std::make_shared<TServedSearch>(*book->source, err);
    shelf_->push_back(std::move(book));
}

const TLibraryBook& TTestLibrary::Book(const std::string& name) const
{
    for (const auto& book : *shelf_)
        if (book->name == name)
            return *book;
    throw std::logic_error("no test book " + name);
}

THTTPRequestInfo LibraryRequest(const std::string& document, const std::string& query)
{
    THTTPRequestInfo request;
    request.Command = "GET";
    request.ProtocolVersion = "HTTP/1.1";
    request.Document = document;
    request.RawParams = query;
    return request;
}
