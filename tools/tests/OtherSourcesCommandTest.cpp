#include "sources/tests/SampleSources.h"
#include "tools/tests/BookFile.h"
#include "tools/tests/PackFixture.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace fs = std::filesystem;

// The commands on books read in place: each kind written in the test, each command run on it.
namespace {

struct Sample {
    std::string kind;
    fs::path path;
    std::string chapter; // the chapter's page name
};

std::vector<Sample> WriteSamples(const TempFolder& temp)
{
    std::vector<Sample> samples;
    WriteSampleEpub(temp / "sample.epub");
    samples.push_back({ "EPUB", temp / "sample.epub", "/OEBPS/text/chapter.xhtml" });
    WriteSampleZim(temp / "sample.zim");
    samples.push_back({ "ZIM", temp / "sample.zim", "/chapter.html" });
    WriteSampleFolder(temp / "folder");
    samples.push_back({ "folder", temp / "folder", "/sub/chapter.html" });
    fs::create_directories(temp / "chm");
    if (const auto chm = CompileSampleChm(temp / "chm"))
        samples.push_back({ "CHM", *chm, "/sub/chapter.html" });
    else
        std::cout << "chmcmd is not installed (fp-utils): the CHM is left out\n";
    return samples;
}

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(OtherSourceCommands, InfoListExtractVerifyContentsCheckAndSearchReadEveryKindInPlace)
{
    TempFolder temp;
    for (const Sample& sample : WriteSamples(temp)) {
        SCOPED_TRACE(sample.kind);
        const std::string path = sample.path.string();

        const ToolRun info = Pack({ "info", path, "--json" });
        ASSERT_EQ(info.exitCode, 0) << info.err;
        const auto json = nlohmann::json::parse(info.out);
        EXPECT_EQ(json["kind"], sample.kind);
        if (sample.kind != "folder") {
            EXPECT_EQ(json["title"], kSampleTitle);
        }
        EXPECT_FALSE(json["homePage"].get<std::string>().empty());

        const ToolRun list = Pack({ "list", path });
        EXPECT_EQ(list.exitCode, 0) << list.err;
        EXPECT_TRUE(Has(list.out, sample.chapter)) << list.out;
        EXPECT_EQ(Pack({ "list", path, "no-such-page.html" }).exitCode, 1);

        const fs::path out = temp / ("extract-" + sample.kind);
        const ToolRun extract = Pack({ "extract", path, "-d", out.string(), sample.chapter });
        EXPECT_EQ(extract.exitCode, 0) << extract.err;
        EXPECT_TRUE(Has(ReadFile(out / sample.chapter.substr(1)), kSampleWord));

        const ToolRun verify = Pack({ "verify", path });
        EXPECT_EQ(verify.exitCode, 0) << verify.err;

        const ToolRun search = Pack({ "search", path, kSampleWord });
        EXPECT_EQ(search.exitCode, 0) << search.err;
        EXPECT_TRUE(Has(search.out, sample.chapter)) << search.out;
        EXPECT_EQ(Has(search.out, "archive's own index"), sample.kind == "ZIM") << search.out;
        EXPECT_EQ(Pack({ "search", path, "xylophone" }).exitCode, 1);

        // The EPUB's navigation and the CHM's sitemap, the home page's links for the others.
        const ToolRun contents = Pack({ "contents", path, "--json" });
        EXPECT_EQ(contents.exitCode, 0) << contents.err;
        EXPECT_TRUE(Has(contents.out, sample.chapter)) << contents.out;

        // The home page's link reaches the chapter; pages nothing links to (a style sheet, the
        // EPUB's navigation) are the only findings.
        const ToolRun check = Pack({ "check", path, "--json" });
        const auto report = nlohmann::json::parse(check.out);
        EXPECT_GE(report["links"].get<int>(), 1) << check.out;
        EXPECT_GE(report["htmlPages"].get<int>(), 2) << check.out;
        for (const auto& finding : report["findings"])
            EXPECT_EQ(finding["kind"], "not-linked") << check.out;
        EXPECT_FALSE(Has(check.out, sample.chapter)) << check.out;
    }
}

TEST(OtherSourceCommands, CheckFindsBrokenLinksInsideAnArchive)
{
    TempFolder temp;
    const std::string container = R"(<?xml version="1.0"?>
<container version="1.0" xmlns="urn:oasis:names:tc:opendocument:xmlns:container">
  <rootfiles><rootfile full-path="book.opf" media-type="application/oebps-package+xml"/></rootfiles>
</container>)";
    const std::string opf = R"(<?xml version="1.0"?>
<package xmlns="http://www.idpf.org/2007/opf" version="2.0"><metadata/>
  <manifest><item id="a" href="a.html" media-type="application/xhtml+xml"/></manifest>
  <spine><itemref idref="a"/></spine></package>)";
    WriteZip(temp / "broken.epub",
        { { "mimetype", "application/epub+zip" }, { "META-INF/container.xml", container }, { "book.opf", opf },
            { "a.html",
                R"(<p id="here"><a href="gone.html">x</a> <a href="#nowhere">y</a> <a href="#here">z</a></p>)" } });
    const ToolRun check = Pack({ "check", (temp / "broken.epub").string() });
    EXPECT_EQ(check.exitCode, 1) << check.out << check.err;
    EXPECT_TRUE(Has(check.out, "gone.html")) << check.out;
    EXPECT_TRUE(Has(check.out, "#nowhere")) << check.out;
    EXPECT_TRUE(Has(check.out, "1 broken link, 1 missing anchor")) << check.out;
}

TEST(OtherSourceCommands, BuildConvertsAChmOrZimIntoABook)
{
    TempFolder temp;
    for (const Sample& sample : WriteSamples(temp)) {
        if (sample.kind != "ZIM" && sample.kind != "CHM")
            continue;
        SCOPED_TRACE(sample.kind);
        const fs::path output = temp / (sample.kind + ".ebook");
        const ToolRun build = Pack({ "build", sample.path.string(), "-o", output.string() });
        ASSERT_EQ(build.exitCode, 0) << build.err;
        if (sample.kind == "ZIM") {
            EXPECT_TRUE(Has(build.out, "of pages before compression; a book holds at most 2048 MiB")) << build.out;
        }
        BookFile book(output);
        ASSERT_TRUE(book.valid);
        EXPECT_EQ(book.reader.title(), kSampleTitle);
        EXPECT_EQ(book.reader.GetHomePageName(), "/index.html");
        const auto chapter = book.Page(sample.chapter);
        ASSERT_TRUE(chapter);
        EXPECT_TRUE(Has(*chapter, kSampleWord));
    }
}

TEST(OtherSourceCommands, DamagedArchivesAreNamedNeverCrash)
{
    TempFolder temp;
    WriteSampleZim(temp / "sample.zim");
    const std::string zim = ReadFile(temp / "sample.zim");
    // Every cluster but the last overwritten after its compression byte: the header and the
    // directory still read, the pages in those clusters do not.
    std::string damaged = zim;
    const auto number = [&](std::size_t at, int bytes) {
        uint64_t value = 0;
        for (int i = 0; i < bytes; ++i)
            value |= uint64_t { static_cast<unsigned char>(zim[at + static_cast<std::size_t>(i)]) } << (8 * i);
        return value;
    };
    const uint64_t clusterCount = number(28, 4);
    const uint64_t clusterPointers = number(48, 8);
    ASSERT_GE(clusterCount, 2u);
    for (uint64_t cluster = 0; cluster + 1 < clusterCount; ++cluster) {
        const uint64_t from = number(clusterPointers + 8 * cluster, 8) + 1;
        const uint64_t to = number(clusterPointers + 8 * (cluster + 1), 8);
        for (uint64_t at = from; at < to && at < damaged.size(); ++at)
            damaged[at] = '\x5a';
    }
    WriteFile(temp / "damaged.zim", damaged);
    const ToolRun verify = Pack({ "verify", (temp / "damaged.zim").string() });
    EXPECT_NE(verify.exitCode, 0);
    EXPECT_TRUE(Has(verify.err, (temp / "damaged.zim").string())) << verify.err;
    EXPECT_TRUE(Has(verify.err, "Damaged entry")) << verify.err;
}
