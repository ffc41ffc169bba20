#include "tools/library/LibraryRouter.h"
#include "pageservice/PageService.h"
#include "server/http/HTTPRequestInfo.h"
#include "tools/tests/LibraryFixture.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

THTTPRequestInfo Get(const std::string& document)
{
    THTTPRequestInfo request;
    request.Command = "GET";
    request.ProtocolVersion = "HTTP/1.1";
    request.Document = document;
    return request;
}

std::string Body(const TAnswer& answer)
{
    return answer.page ? *answer.page : answer.text;
}

std::string Location(const TAnswer& answer)
{
    for (const auto& [name, value] : answer.headers)
        if (name == "Location")
            return value;
    return {};
}

std::string Header(const TAnswer& answer, const std::string& wanted)
{
    for (const auto& [name, value] : answer.headers)
        if (name == wanted)
            return value;
    return {};
}

std::string FileBytes(const TFileBody& file)
{
    std::string bytes(static_cast<std::size_t>(file.size), '\0');
    EXPECT_EQ(::pread(file.fd, bytes.data(), bytes.size(), 0), file.size);
    return bytes;
}

class LibraryRouterTest : public ::testing::Test {
protected:
    void SetUp() override { fixture_.PlaceAll(library_); }

    LibraryFixture fixture_;
    TLibrary library_ { TLibrarySettings {}, fixture_.err };
};

} // namespace

TEST_F(LibraryRouterTest, EveryKindIsDescribedAndNamedOnTheShelf)
{
    const auto shelf = library_.Shelf();
    ASSERT_EQ(shelf->size(), 4U);
    EXPECT_EQ((*shelf)[0]->name, "notes");
    EXPECT_EQ((*shelf)[1]->name, "novel");
    EXPECT_EQ((*shelf)[2]->name, "user-guide");
    EXPECT_EQ((*shelf)[3]->name, "wiki");
    const TLibraryBook& notes = *(*shelf)[0];
    EXPECT_TRUE(notes.watched);
    EXPECT_EQ(notes.fileSize, 0);
    const TLibraryBook& novel = *(*shelf)[1];
    EXPECT_EQ(novel.title, kSampleTitle);
    EXPECT_EQ(novel.language, "en");
    EXPECT_FALSE(novel.watched);
    EXPECT_EQ(novel.fileSize, static_cast<int64_t>(ReadBytes(novel.path).size()));
    EXPECT_GT(novel.modified, 0);
    EXPECT_FALSE(novel.version.empty());
    const TLibraryBook& guide = *(*shelf)[2];
    EXPECT_EQ(guide.title, kSampleTitle);
    EXPECT_GE(guide.pageCount, 3);
    EXPECT_NE(guide.pages, guide.source) << "a book file's pages are served through pages of its own";
    const TLibraryBook& wiki = *(*shelf)[3];
    EXPECT_EQ(wiki.description, "A sample of every kind");
    EXPECT_EQ(wiki.pages, wiki.source);
    for (const auto& book : *shelf)
        EXPECT_NE(book->search, nullptr) << book->name;
    EXPECT_EQ(library_.Book("wiki"), (*shelf)[3]);
    EXPECT_EQ(library_.Book("wik"), nullptr);
}

TEST_F(LibraryRouterTest, PagesMovesAndTheHomeOfEachBookUnderItsName)
{
    const TLibraryRouter router(library_, TUrlRoot(""));
    for (const std::string name : { "user-guide", "notes" }) {
        const TAnswer page = router.Answer(Get("/" + name + "/sub/chapter.html"));
        EXPECT_EQ(page.code, 200) << name;
        EXPECT_EQ(Body(page), SampleChapterPage()) << name;
        EXPECT_EQ(Location(router.Answer(Get("/" + name))), "/" + name + "/");
        EXPECT_EQ(Location(router.Answer(Get("/" + name + "/"))), "/" + name + "/index.html");
    }
    // A folder asked for without its slash stays in the book.
    EXPECT_EQ(Location(router.Answer(Get("/notes/sub"))), "/notes/sub/");
    EXPECT_EQ(router.Answer(Get("/notes/sub/")).code, 200);
    // An EPUB's home is the contents page made for it.
    EXPECT_EQ(Location(router.Answer(Get("/novel/"))), "/novel/contents.html");
    const TAnswer chapter = router.Answer(Get("/novel/OEBPS/text/chapter.xhtml"));
    EXPECT_EQ(chapter.code, 200);
    EXPECT_NE(Body(chapter).find(kSampleWord), std::string::npos);
    EXPECT_EQ(router.Answer(Get("/wiki/chapter.html")).code, 200);

    std::string book;
    EXPECT_EQ(router.Answer(Get("/nobook/index.html"), &book).code, 404);
    EXPECT_EQ(book, "");
    EXPECT_EQ(router.Answer(Get("/user-guide/missing.html"), &book).code, 404);
    EXPECT_EQ(book, "user-guide");
    EXPECT_EQ(router.Answer(Get("/")).code, 404) << "the library page is the catalog's";
    EXPECT_EQ(router.Answer(Get("/.download/notes")).code, 404) << "a folder has no file to give";
}

TEST_F(LibraryRouterTest, CachingFollowsTheKindAndTheValidatorTheBookAndPage)
{
    const TLibraryRouter router(library_, TUrlRoot(""));
    const auto guide = library_.Book("user-guide");
    const TAnswer home = router.Answer(Get("/user-guide/index.html"));
    const TAnswer chapter = router.Answer(Get("/user-guide/sub/chapter.html"));
    EXPECT_EQ(home.cacheControl, "public, max-age=3600");
    EXPECT_EQ(home.lastModified, guide->modified);
    EXPECT_TRUE(home.etag.starts_with(guide->version + "-")) << home.etag;
    EXPECT_NE(home.etag, chapter.etag);
    EXPECT_EQ(router.Answer(Get("/user-guide/index.html")).etag, home.etag);
    EXPECT_EQ(router.Answer(Get("/user-guide/missing.html")).etag, "") << "no validator for what is not found";

    const TAnswer folderPage = router.Answer(Get("/notes/index.html"));
    EXPECT_EQ(folderPage.cacheControl, "no-cache");
    EXPECT_EQ(folderPage.etag, "") << "a folder's page changes under the same version: its body decides";
    EXPECT_EQ(router.Answer(Get("/wiki/index.html")).cacheControl, "public, max-age=3600");
}

TEST_F(LibraryRouterTest, DownloadsGiveTheFileItselfAsAnAttachmentOfItsKind)
{
    const TLibraryRouter router(library_, TUrlRoot("/library"));
    const struct {
        std::string name;
        std::string file;
        std::string type;
    } cases[] = { { "user-guide", "books/User Guide.ebook", "application/octet-stream" },
        { "novel", "books/novel.epub", "application/epub+zip" }, { "wiki", "books/wiki.zim", "application/x-zim" } };
    for (const auto& expected : cases) {
        const TAnswer answer = router.Answer(Get("/library/.download/" + expected.name));
        ASSERT_EQ(answer.code, 200) << expected.name;
        EXPECT_EQ(answer.contentType, expected.type);
        ASSERT_NE(answer.file, nullptr);
        EXPECT_EQ(FileBytes(*answer.file), ReadBytes(fixture_.scratch / expected.file)) << expected.name;
        EXPECT_EQ(answer.etag, library_.Book(expected.name)->version);
    }
    EXPECT_EQ(Header(router.Answer(Get("/library/.download/user-guide")), "Content-Disposition"),
        "attachment; filename=\"User Guide.ebook\"; filename*=UTF-8''User%20Guide.ebook");
    EXPECT_EQ(router.Answer(Get("/library/.download/")).code, 404);
    EXPECT_EQ(router.Answer(Get("/library/.download/nobook")).code, 404);
}

TEST_F(LibraryRouterTest, AUrlRootIsTakenOffEveryRequestAndPutBackOnEveryMove)
{
    const TLibraryRouter router(library_, TUrlRoot("/library/"));
    EXPECT_EQ(Body(router.Answer(Get("/library/user-guide/sub/chapter.html"))), SampleChapterPage());
    EXPECT_EQ(Location(router.Answer(Get("/library"))), "/library/");
    EXPECT_EQ(Location(router.Answer(Get("/library/novel"))), "/library/novel/");
    EXPECT_EQ(Location(router.Answer(Get("/library/novel/"))), "/library/novel/contents.html");
    EXPECT_EQ(Location(router.Answer(Get("/library/notes/sub"))), "/library/notes/sub/");
    EXPECT_EQ(router.Answer(Get("/user-guide/index.html")).code, 404) << "outside the root";
    EXPECT_EQ(router.Answer(Get("/libraryx/user-guide/index.html")).code, 404);
    EXPECT_EQ(router.Answer(Get("/")).code, 404);

    EXPECT_THROW(TUrlRoot("library"), EUsageError);
    EXPECT_THROW(TUrlRoot("/a b"), EUsageError);
    EXPECT_THROW(TUrlRoot("/a//b"), EUsageError);
    EXPECT_EQ(TUrlRoot("/").Text(), "");
}

TEST_F(LibraryRouterTest, TheCatalogAnswersFirstWithTheRootTakenOff)
{
    TLibraryRouter router(library_, TUrlRoot("/library"));
    std::vector<std::string> asked;
    router.SetCatalog([&](const THTTPRequestInfo&, std::string_view document) -> std::optional<TAnswer> {
        asked.emplace_back(document);
        if (document == "/" || document == "/novel/.search")
            return TextAnswer(200, "catalog");
        return std::nullopt;
    });
    EXPECT_EQ(Body(router.Answer(Get("/library/"))), "catalog");
    EXPECT_EQ(Body(router.Answer(Get("/library/novel/.search"))), "catalog");
    EXPECT_EQ(router.Answer(Get("/library/wiki/index.html")).code, 200);
    EXPECT_EQ(router.Answer(Get("/elsewhere/")).code, 404);
    EXPECT_EQ(asked, (std::vector<std::string> { "/", "/novel/.search", "/wiki/index.html" }));
}

TEST_F(LibraryRouterTest, ABookRemovedOrRenamedStaysWholeForWhoeverHoldsIt)
{
    const auto shelf = library_.Shelf();
    const auto guide = library_.Book("user-guide");
    ASSERT_TRUE(library_.Remove(guide->path));
    EXPECT_FALSE(library_.Remove(guide->path));
    EXPECT_EQ(library_.Book("user-guide"), nullptr);
    EXPECT_EQ(shelf->size(), 4U) << "a shelf handed out does not change";
    EXPECT_EQ(*FindPage(*guide->pages, "/index.html")->bytes, SampleHomePage("sub/chapter.html"));

    // A book taking a name that sorts before another's renames that one; the renamed one is a new
    // book sharing the old one's source.
    const auto novel = library_.Book("novel");
    std::filesystem::create_directories(fixture_.scratch / "a");
    WriteSampleEpub(fixture_.scratch / "a/novel.epub");
    library_.Place({ library_.Open((fixture_.scratch / "a/novel.epub").string(), CommandLine({}, {})) });
    EXPECT_EQ(library_.Book("novel")->path, (fixture_.scratch / "a/novel.epub").string());
    const auto renamed = library_.BookAt(novel->path);
    ASSERT_NE(renamed, nullptr);
    EXPECT_TRUE(renamed->name.starts_with("novel-")) << renamed->name;
    EXPECT_EQ(renamed->source, novel->source);
    EXPECT_EQ(novel->name, "novel") << "the book handed out keeps its name";
}
