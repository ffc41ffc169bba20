#include "tools/library/LibraryCatalog.h"
#include "server/http/HTTPRequestInfo.h"
#include "sources/tests/SampleSources.h"
#include "tools/packtool/ServeSearch.h"
#include "tools/tests/TestLibrary.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <pugixml.hpp>

#include <future>
#include <set>

namespace {

std::string BodyOf(const TAnswer& answer)
{
    return answer.page ? *answer.page : answer.text;
}

class LibraryCatalogTest : public ::testing::Test {
protected:
    TAnswer Get(const std::string& document, const std::string& query = {})
    {
        const std::optional<TAnswer> answer = catalog.Answer(LibraryRequest("/lib" + document, query), document);
        if (!answer)
            throw std::logic_error("no answer for " + document);
        return *answer;
    }
    nlohmann::json Json(const std::string& document, const std::string& query)
    {
        const TAnswer answer = Get(document, query);
        EXPECT_EQ(answer.code, 200) << BodyOf(answer);
        EXPECT_EQ(answer.contentType, "application/json");
        return nlohmann::json::parse(BodyOf(answer));
    }

    TTestLibrary library;
    TLibraryCatalog catalog { library, "/lib", library.err };
};

TEST_F(LibraryCatalogTest, LibraryPageShowsEveryBookEscapedWithLinksUnderTheRootAndFiltersByLanguage)
{
    const TAnswer answer = Get("/");
    ASSERT_EQ(answer.code, 200);
    EXPECT_EQ(answer.contentType, "text/html; charset=utf-8");
    EXPECT_EQ(answer.cacheControl, "no-cache");
    const std::string page = BodyOf(answer);
    EXPECT_NE(page.find("name=\"viewport\""), std::string::npos);
    EXPECT_NE(page.find("<form id=\"search\" action=\"/lib/.search\""), std::string::npos);
    EXPECT_NE(page.find("<a href=\"/lib/.opds\">"), std::string::npos);
    for (const std::string name : { "book", "cover", "folder", "zim" }) {
        EXPECT_NE(page.find("href=\"/lib/" + name + "/\""), std::string::npos) << name;
        EXPECT_NE(page.find("src=\"/lib/.icon/" + name + "\""), std::string::npos) << name;
    }
    EXPECT_NE(page.find(">Covered Book<"), std::string::npos);
    EXPECT_NE(page.find("Pictures and words"), std::string::npos);
    EXPECT_NE(page.find("de-CH &middot; "), std::string::npos);
    EXPECT_NE(page.find(std::to_string(library.Book("zim").pageCount) + " pages"), std::string::npos);
    // Hostile titles and descriptions are text, never markup.
    EXPECT_EQ(page.find("<b>Tom"), std::string::npos);
    EXPECT_EQ(page.find("<script>alert"), std::string::npos);
    EXPECT_NE(page.find("&lt;b&gt;Tom &amp; &quot;Jerry&quot;&lt;/b&gt;"), std::string::npos);
    EXPECT_NE(page.find("&lt;script&gt;alert('x')&lt;/script&gt; &amp; more"), std::string::npos);
    // The only script is the page's own suggestion script, and nothing ends it early.
    EXPECT_EQ(page.find("</script>"), page.rfind("</script>"));
    // Links to each language, and a language shows its books only.
    EXPECT_NE(page.find("href=\"/lib/?lang=eng\""), std::string::npos);
    EXPECT_NE(page.find("href=\"/lib/?lang=de-CH\""), std::string::npos);
    const std::string german = BodyOf(Get("/", "lang=de"));
    EXPECT_NE(german.find("href=\"/lib/cover/\""), std::string::npos);
    EXPECT_EQ(german.find("href=\"/lib/zim/\""), std::string::npos);
    EXPECT_EQ(german.find("href=\"/lib/book/\""), std::string::npos);
    EXPECT_NE(BodyOf(Get("/", "lang=xx")).find("No books in xx."), std::string::npos);
    // The bar leads back to the library and searches every book.
    const std::string bar = BodyOf(Get("/.bar"));
    EXPECT_NE(bar.find("href=\"/lib/\""), std::string::npos);
    EXPECT_NE(bar.find("action=\"/lib/.search\""), std::string::npos);
}

TEST_F(LibraryCatalogTest, IconsComeFromTheFaviconTheIllustrationTheCoverElseAreMadeFromTheName)
{
    const TAnswer favicon = Get("/.icon/folder");
    EXPECT_EQ(favicon.contentType, "image/png");
    EXPECT_EQ(BodyOf(favicon), TTestLibrary::kFavicon);
    EXPECT_EQ(favicon.cacheControl, "public, max-age=3600");
    EXPECT_EQ(favicon.lastModified, TTestLibrary::kModified);
    const TAnswer illustration = Get("/.icon/zim");
    EXPECT_EQ(illustration.contentType, "image/png");
    EXPECT_EQ(BodyOf(illustration), TTestLibrary::kIllustration);
    const TAnswer cover = Get("/.icon/cover");
    EXPECT_EQ(cover.contentType, "image/jpeg");
    EXPECT_EQ(BodyOf(cover), TTestLibrary::kCover);
    // A book file without a favicon: an SVG with its title's initial, its colour fixed by its name;
    // well-formed whatever the title begins with.
    const TAnswer made = Get("/.icon/book");
    EXPECT_EQ(made.contentType, "image/svg+xml");
    pugi::xml_document svg;
    ASSERT_TRUE(svg.load_string(BodyOf(made).c_str()));
    EXPECT_STREQ(svg.child("svg").child("text").text().get(), "<");
    EXPECT_EQ(GeneratedIcon("book", TTestLibrary::kHostileTitle).bytes, BodyOf(made));
    EXPECT_NE(GeneratedIcon("other", TTestLibrary::kHostileTitle).bytes, BodyOf(made));
    pugi::xml_document plain;
    ASSERT_TRUE(plain.load_string(GeneratedIcon("x", "\xC3\xA9t\xC3\xA9").bytes.c_str()));
    EXPECT_STREQ(plain.child("svg").child("text").text().get(), "\xC3\xA9");
    EXPECT_EQ(Get("/.icon/nosuch").code, 404);
}

TEST_F(LibraryCatalogTest, SearchAcrossBooksNamesEachResultsBookAndLinksUnderItsPath)
{
    const nlohmann::json all = Json("/.search", std::string("format=json&q=") + kSampleWord);
    std::set<std::string> books;
    for (const nlohmann::json& hit : all["results"]) {
        const std::string book = hit["book"];
        books.insert(book);
        EXPECT_EQ(hit["bookLink"], "/lib/" + book + "/");
        EXPECT_TRUE(hit["link"].get<std::string>().starts_with("/lib/" + book + "/")) << hit["link"];
    }
    EXPECT_EQ(books, (std::set<std::string> { "book", "cover", "folder", "zim" }));
    EXPECT_GE(all["total"].get<int64_t>(), 4);
    // Each book's best hit comes before any book's second.
    ASSERT_GE(all["results"].size(), 4U);
    std::set<std::string> firstFour;
    for (std::size_t at = 0; at < 4; ++at)
        firstFour.insert(all["results"][at]["book"].get<std::string>());
    EXPECT_EQ(firstFour.size(), 4U);

    const nlohmann::json chosen = Json("/.search", std::string("format=json&book=zim&book=cover&q=") + kSampleWord);
    books.clear();
    for (const nlohmann::json& hit : chosen["results"])
        books.insert(hit["book"].get<std::string>());
    EXPECT_EQ(books, (std::set<std::string> { "cover", "zim" }));
    const nlohmann::json paged = Json("/.search", std::string("format=json&start=1&limit=2&q=") + kSampleWord);
    ASSERT_EQ(paged["results"].size(), 2U);
    EXPECT_EQ(paged["results"][0]["link"], all["results"][1]["link"]);

    const TAnswer page = Get("/.search", std::string("book=book&q=") + kSampleWord);
    EXPECT_EQ(page.cacheControl, "no-cache");
    const std::string html = BodyOf(page);
    EXPECT_NE(html.find("action=\"/lib/.search\""), std::string::npos);
    EXPECT_NE(html.find("<input type=\"hidden\" name=\"book\" value=\"book\">"), std::string::npos);
    EXPECT_NE(html.find("<a href=\"/lib/book/\">&lt;b&gt;Tom"), std::string::npos);
    EXPECT_NE(html.find("<a href=\"/lib/book/sub/chapter.html\">"), std::string::npos);
    EXPECT_EQ(html.find("<b>Tom"), std::string::npos);

    const nlohmann::json suggested = Json("/.suggest", "q=Chap");
    books.clear();
    for (const nlohmann::json& suggestion : suggested["suggestions"]) {
        books.insert(suggestion["book"].get<std::string>());
        EXPECT_TRUE(
            suggestion["link"].get<std::string>().starts_with("/lib/" + suggestion["book"].get<std::string>() + "/"));
        EXPECT_EQ(suggestion["title"], "Chapter");
    }
    EXPECT_EQ(books.size(), 4U);
    EXPECT_EQ(Json("/.suggest", "limit=2&q=Chap")["suggestions"].size(), 2U);
}

TEST_F(LibraryCatalogTest, ABooksOwnSearchLinksUnderItsPathAndSingleBookServingKeepsItsLinks)
{
    const nlohmann::json own = Json("/zim/.search", std::string("format=json&q=") + kSampleWord);
    ASSERT_FALSE(own["results"].empty());
    EXPECT_EQ(own["results"][0]["link"], "/lib/zim/chapter.html");
    const std::string html = BodyOf(Get("/book/.search", std::string("q=") + kSampleWord));
    EXPECT_NE(html.find("<form action=\"/lib/book/.search\">"), std::string::npos);
    EXPECT_NE(html.find("<a href=\"/lib/book/sub/chapter.html\">"), std::string::npos);
    const nlohmann::json titles = Json("/cover/.suggest", "q=Chap");
    ASSERT_FALSE(titles["suggestions"].empty());
    EXPECT_TRUE(titles["suggestions"][0]["link"].get<std::string>().starts_with("/lib/cover/OEBPS/text/chapter.xhtml"));

    // Served alone, the book's search answers as it always has: links from the server's root.
    TServedSearch& alone = *library.Book("book").search;
    const std::optional<TAnswer> single = alone.Answer(LibraryRequest("/.search", std::string("q=") + kSampleWord));
    ASSERT_TRUE(single);
    EXPECT_NE(single->text.find("<form action=\"/.search\">"), std::string::npos);
    EXPECT_NE(single->text.find("<a href=\"/sub/chapter.html\">"), std::string::npos);
}

TEST_F(LibraryCatalogTest, AnswersItsOwnDocumentsOnlyAndLeavesBooksPagesToTheRouter)
{
    for (const std::string document : { "/book/", "/book/index.html", "/.download/book", "/nosuch/.search",
             "/.opds/more", "/book/sub/.search", "/.searchx", "" }) {
        EXPECT_FALSE(catalog.Answer(LibraryRequest("/lib" + document), document)) << document;
    }
    for (const std::string document : { "/", "/.opds", "/.opensearch.xml", "/.bar", "/.icon/book", "/book/.suggest" })
        EXPECT_TRUE(catalog.Answer(LibraryRequest("/lib" + document, "q=x"), document)) << document;
}

TEST(LibrarySearchPool, SearchesPastTheQueueAreRefusedAtOnceWhilePagesAreStillAnswered)
{
    TTestLibrary library;
    TLibraryCatalog catalog(library, "", library.err, TSearchPoolSize { 1, 0 });
    std::promise<void> started;
    std::promise<void> release;
    const std::shared_future<void> released = release.get_future().share();
    ASSERT_TRUE(catalog.Searches().Post([&started, released] {
        started.set_value();
        released.wait();
    }));
    started.get_future().wait();

    for (const std::string document : { "/.search", "/.suggest", "/zim/.search", "/book/.suggest" }) {
        const std::optional<TAnswer> refused = catalog.Answer(LibraryRequest(document, "q=vacuum"), document);
        ASSERT_TRUE(refused) << document;
        EXPECT_EQ(refused->code, 503) << document;
        ASSERT_EQ(refused->headers.size(), 1U);
        EXPECT_EQ(refused->headers[0], (std::pair<std::string, std::string>("Retry-After", "1")));
    }
    EXPECT_EQ(catalog.Answer(LibraryRequest("/"), "/")->code, 200);
    EXPECT_EQ(catalog.Answer(LibraryRequest("/.opds"), "/.opds")->code, 200);

    release.set_value();
    catalog.Searches().WaitUntilIdle();
    EXPECT_EQ(catalog.Answer(LibraryRequest("/.search", "q=vacuum"), "/.search")->code, 200);
}

} // namespace
