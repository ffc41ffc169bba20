#include "common/Exception.h"
#include "sources/ChmSource.h"
#include "sources/ContentsReading.h"
#include "sources/FolderBook.h"
#include "sources/OpenSource.h"
#include "sources/SourceContents.h"
#include "sources/SourceKind.h"
#include "sources/ZimSource.h"
#include "sources/tests/SampleSources.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string Page(TBookSource& source, const std::string& name)
{
    const TPageLookup lookup = source.Lookup(name);
    return lookup.bytes ? *lookup.bytes : std::string("(no page " + name + ")");
}

// The name the page's first link leads to, resolved against the page's folder ("/" first, no
// fragment); empty for a page without links.
std::string FirstLink(TBookSource& source, const std::string& page)
{
    const std::string bytes = Page(source, page);
    const std::size_t at = bytes.find("href=\"");
    if (at == std::string::npos)
        return {};
    const std::size_t end = bytes.find_first_of("\"#", at + 6);
    std::string href = bytes.substr(at + 6, end - at - 6);
    std::string folder = page.substr(0, page.rfind('/') + 1);
    while (href.starts_with("../")) {
        href.erase(0, 3);
        folder = folder.substr(0, folder.rfind('/', folder.size() - 2) + 1);
    }
    return href.starts_with('/') ? href : folder + href;
}

// The home page's text and the chapter's, reached by the home page's link: an EPUB's home is the
// contents page written from its navigation, one link before the document titled "Home".
std::pair<std::string, std::string> HomeAndChapter(TBookSource& source, bool contentsFirst)
{
    std::string home = source.HomePageName();
    if (contentsFirst)
        home = FirstLink(source, home);
    return { Page(source, home), Page(source, FirstLink(source, home)) };
}

void Truncate(const fs::path& path, double keep)
{
    const auto size = fs::file_size(path);
    fs::resize_file(path, static_cast<uintmax_t>(static_cast<double>(size) * keep));
}

struct Sample {
    std::string name;
    ESourceKind kind;
    fs::path path;
};

// Every kind written afresh; the CHM only where chmcmd is installed.
std::vector<Sample> WriteSamples(const TScratchFolder& temp)
{
    std::vector<Sample> samples;
    WriteSampleBook(temp / "sample.ebook");
    samples.push_back({ "book", ESourceKind::Book, temp / "sample.ebook" });
    WriteSampleBook(temp / "program",
        "\x7f"
        "ELF pretend program bytes");
    samples.push_back({ "program carrying a book", ESourceKind::Book, temp / "program" });
    // Named as another kind: the content decides.
    WriteSampleEpub(temp / "sample.zim");
    samples.push_back({ "EPUB", ESourceKind::Epub, temp / "sample.zim" });
    WriteSampleZim(temp / "sample.epub");
    samples.push_back({ "ZIM", ESourceKind::Zim, temp / "sample.epub" });
    WriteSampleFolder(temp / "folder");
    samples.push_back({ "folder", ESourceKind::Folder, temp / "folder" });
    fs::create_directories(temp / "chm");
    if (const auto chm = CompileSampleChm(temp / "chm"))
        samples.push_back({ "CHM", ESourceKind::Chm, *chm });
    else
        std::cout << "chmcmd is not installed: the CHM sample is left out\n";
    return samples;
}

} // namespace

TEST(FormatSources, EveryKindIsToldByContentAndReadThroughOneInterface)
{
    TScratchFolder temp;
    for (const Sample& sample : WriteSamples(temp)) {
        SCOPED_TRACE(sample.name);
        ASSERT_EQ(DetectSourceKind(sample.path.string()), sample.kind);
        const std::unique_ptr<TBookSource> source = OpenBookSource(sample.path.string());
        if (sample.kind != ESourceKind::Folder) {
            EXPECT_EQ(source->Title(), kSampleTitle);
        }
        const auto [home, chapter] = HomeAndChapter(*source, sample.kind == ESourceKind::Epub);
        EXPECT_NE(home.find("<h1>Home</h1>"), std::string::npos) << home;
        EXPECT_NE(chapter.find(kSampleWord), std::string::npos) << chapter;
        const auto names = source->PageNames();
        EXPECT_NE(std::find(names.begin(), names.end(), source->HomePageName()), names.end());
        EXPECT_FALSE(source->Lookup("/no-such-page.html").stored);
        if (sample.kind != ESourceKind::Zim) {
            // Letter case folded as in a book; ZIM paths keep theirs.
            std::string upper = source->HomePageName();
            std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
            EXPECT_TRUE(source->Lookup(upper).bytes) << upper;
        }
        // Every kind shows contents: its own, else the links of its home page.
        const TContents& shown = ContentsOfSource(*source);
        ASSERT_FALSE(shown.empty());
        EXPECT_NE(Page(*source, ContentsInReadingOrder(shown).back()->page).find(kSampleWord), std::string::npos);
        if (sample.kind == ESourceKind::Epub || sample.kind == ESourceKind::Chm) {
            const TContents contents = source->Contents();
            ASSERT_EQ(contents.size(), 1u);
            EXPECT_EQ(contents[0].title, "Home");
            ASSERT_EQ(contents[0].children.size(), 1u);
            EXPECT_EQ(contents[0].children[0].title, "Chapter");
            EXPECT_NE(Page(*source, contents[0].children[0].page).find(kSampleWord), std::string::npos);
        }
    }
}

TEST(FormatSources, MetadataSearchAndRedirectsOfAZim)
{
    TScratchFolder temp;
    WriteSampleZim(temp / "sample.zim");
    TZimSource zim((temp / "sample.zim").string());
    EXPECT_EQ(zim.HomePageName(), "/index.html");
    EXPECT_EQ(zim.Language(), "eng");
    EXPECT_EQ(zim.Description(), "A sample of every kind");
    EXPECT_NE(Page(zim, "/start").find("<h1>Home</h1>"), std::string::npos);
    ASSERT_TRUE(zim.HasFullTextIndex());
    const auto hits = zim.Search(kSampleWord, 10);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].page, "/chapter.html");
    ASSERT_TRUE(zim.HasTitleIndex());
    const auto titles = zim.Suggest("Chap", 10);
    ASSERT_FALSE(titles.empty());
    EXPECT_EQ(titles[0].page, "/chapter.html");
    // What a catalog lists: the creator, the archive's UUID, and no picture where none is stored.
    EXPECT_EQ(zim.Authors(), std::vector<std::string> { "A. Writer" });
    EXPECT_EQ(zim.Identifier().size(), 36u);
    EXPECT_EQ(zim.Identifier()[8], '-');
    EXPECT_FALSE(zim.Picture());
    const std::string illustration = "\x89PNG illustration";
    WriteSampleZim(temp / "illustrated.zim", {}, illustration);
    TZimSource withPicture((temp / "illustrated.zim").string());
    const std::optional<TBookPicture> picture = withPicture.Picture();
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->bytes, illustration);
    EXPECT_EQ(picture->type, "image/png");
    EXPECT_NE(withPicture.Identifier(), zim.Identifier());
}

TEST(FormatSources, ChmKeywordsAndLanguageComeFromTheArchive)
{
    TScratchFolder temp;
    fs::create_directories(temp / "chm");
    const auto chm = CompileSampleChm(temp / "chm");
    if (!chm)
        GTEST_SKIP() << "chmcmd is not installed (fp-utils)";
    TChmSource source(chm->string());
    EXPECT_EQ(source.HomePageName(), "/index.html");
    EXPECT_EQ(source.Language(), "en-US");
    ASSERT_EQ(source.Keywords().size(), 1u);
    EXPECT_EQ(source.Keywords()[0].title, kSampleWord);
    EXPECT_EQ(source.Keywords()[0].page, "/sub/chapter.html");
    // The compiler's own files are not pages.
    for (const std::string& name : source.PageNames())
        EXPECT_FALSE(name.starts_with("/#") || name.starts_with("/$")) << name;
}

TEST(FormatSources, ABookBuiltWithoutSettingsOpensInTheWindowOfASourceReadInPlace)
{
    TScratchFolder temp;
    WriteSampleFolder(temp / "folder");
    std::ostringstream said;
    const FolderBook built = PlanFolderBook(temp / "folder", CommandLine({}, {}), {}, said, said);
    WriteSampleEpub(temp / "sample.epub");
    const DisplaySettings inPlace = OpenBookSource((temp / "sample.epub").string())->Display();
    EXPECT_EQ(built.settings.header.display, inPlace);
    // A normal window of 1024 by 768 centred on the screen, resizable, menu and toolbar shown.
    EXPECT_EQ(inPlace.sizeMode, WindowSizeMode::Normal);
    EXPECT_EQ(inPlace.positionMode, WindowPositionMode::ScreenCenter);
    EXPECT_EQ(std::pair(inPlace.windowWidth, inPlace.windowHeight), std::pair(1024, 768));
    EXPECT_TRUE(inPlace.resizable && inPlace.showMenu && inPlace.showToolbar);
}

TEST(FormatSources, AChmWithoutADefaultTopicOpensOnTheHomePageAFolderWould)
{
    TScratchFolder temp;
    const std::string page = "<html><body><p>A page</p></body></html>";
    // Both index pages: index.htm comes first, as in a folder, whatever its letter case.
    fs::create_directories(temp / "both");
    const auto both = CompileChm(temp / "both", { { "a.css", "p {}" }, { "index.html", page }, { "INDEX.HTM", page } });
    if (!both)
        GTEST_SKIP() << "chmcmd is not installed (fp-utils)";
    EXPECT_EQ(TChmSource(both->string()).HomePageName(), "/INDEX.HTM");
    // No index page: the first HTML page, its extension in any letter case.
    fs::create_directories(temp / "none");
    const auto none = CompileChm(temp / "none", { { "a.css", "p {}" }, { "MAIN.HTM", page } });
    EXPECT_EQ(TChmSource(none->string()).HomePageName(), "/MAIN.HTM");
}

TEST(FormatSources, OtherFilesAndDamagedArchivesAreRefusedWithAMessage)
{
    TScratchFolder temp;
    std::ofstream(temp / "notes.txt") << "plain text, no book";
    EXPECT_FALSE(DetectSourceKind((temp / "notes.txt").string()));
    try {
        OpenBookSource((temp / "notes.txt").string());
        FAIL() << "a text file opened";
    } catch (const Exception& error) {
        EXPECT_NE(error.Message().find("EPUB, a CHM, a ZIM"), std::string::npos) << error.Message();
    }
    EXPECT_FALSE(NotABookHint((temp / "notes.txt").string()));
    // A zip without an EPUB container is no EPUB; a zip, whole or damaged, says how to make a
    // book of it, and the kinds read in place need no hint.
    WriteZip(temp / "plain.zip", { { "index.html", "<p>x</p>" } });
    EXPECT_FALSE(DetectSourceKind((temp / "plain.zip").string()));
    std::ofstream(temp / "damaged.zip") << "PK\x03\x04 and nothing a zip reader takes";
    for (const char* zip : { "plain.zip", "damaged.zip" }) {
        const auto hint = NotABookHint((temp / zip).string());
        ASSERT_TRUE(hint) << zip;
        EXPECT_NE(hint->find("is a zip archive; unpack it"), std::string::npos) << *hint;
    }
    WriteSampleEpub(temp / "sample.epub");
    WriteSampleZim(temp / "sample.zim");
    for (const char* readInPlace : { "sample.epub", "sample.zim" })
        EXPECT_FALSE(NotABookHint((temp / readInPlace).string())) << readInPlace;

    // Cut short, each archive either refuses to open, naming the file, or answers what it still
    // can; no read crashes or answers bytes that are not there.
    WriteSampleZim(temp / "cut.zim");
    fs::create_directories(temp / "chm");
    std::vector<fs::path> damaged { temp / "cut.zim" };
    if (const auto chm = CompileSampleChm(temp / "chm"))
        damaged.push_back(*chm);
    for (const fs::path& path : damaged) {
        for (double keep : { 0.9, 0.5, 0.1 }) {
            const fs::path copy = temp / ("copy-" + std::to_string(keep) + path.filename().string());
            fs::copy_file(path, copy, fs::copy_options::overwrite_existing);
            Truncate(copy, keep);
            try {
                auto source = OpenBookSource(copy.string());
                for (const std::string& name : source->PageNames())
                    source->Lookup(name);
                source->Contents();
            } catch (const Exception& error) {
                EXPECT_NE(error.Message().find(copy.string()), std::string::npos) << error.Message();
            }
        }
    }
}
