#include "tools/library/OpdsCatalog.h"
#include "server/http/HTTPRequestInfo.h"
#include "tools/library/CatalogText.h"
#include "tools/library/LibraryCatalog.h"
#include "tools/tests/TestLibrary.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <map>
#include <set>
#include <zim/archive.h>

namespace {

constexpr const char* kAtom = "http://www.w3.org/2005/Atom";

// The feed's entries by the name their download or alternate link gives.
struct TParsedFeed {
    pugi::xml_document document;
    std::map<std::string, pugi::xml_node> entries;
};

// The feed parsed as XML: the test fails on anything a parser refuses.
std::unique_ptr<TParsedFeed> ParseFeed(TLibraryCatalog& catalog, const std::string& query = {})
{
    const std::optional<TAnswer> answer = catalog.Answer(LibraryRequest("/lib/.opds", query), "/.opds");
    EXPECT_TRUE(answer);
    EXPECT_EQ(answer->code, 200);
    EXPECT_EQ(answer->contentType, "application/atom+xml;profile=opds-catalog;kind=acquisition");
    auto feed = std::make_unique<TParsedFeed>();
    const pugi::xml_parse_result parsed = feed->document.load_string(answer->text.c_str());
    EXPECT_TRUE(parsed) << parsed.description() << "\n" << answer->text;
    for (const pugi::xml_node entry : feed->document.child("feed").children("entry"))
        for (const pugi::xml_node link : entry.children("link"))
            if (std::string(link.attribute("rel").value()) == "alternate") {
                const std::string href = link.attribute("href").value(); // /lib/NAME/
                feed->entries[href.substr(5, href.size() - 6)] = entry;
            }
    return feed;
}

pugi::xml_node LinkOf(pugi::xml_node entry, const std::string& rel)
{
    for (const pugi::xml_node link : entry.children("link"))
        if (rel == link.attribute("rel").value())
            return link;
    return {};
}

TEST(OpdsCatalog, TheFeedIsAtomWithAnEntryPerBookThatParsersRead)
{
    TTestLibrary library;
    TLibraryCatalog catalog(library, "/lib", library.err);
    const auto feed = ParseFeed(catalog);
    const pugi::xml_node root = feed->document.child("feed");
    EXPECT_STREQ(root.attribute("xmlns").value(), kAtom);
    EXPECT_TRUE(std::string(root.child_value("id")).starts_with("urn:uuid:"));
    EXPECT_STREQ(root.child_value("title"), "Library");
    EXPECT_STREQ(root.child_value("updated"), "2025-12-09T21:19:13Z");
    EXPECT_STREQ(root.child("author").child_value("name"), "ebook-pack");
    EXPECT_STREQ(LinkOf(root, "self").attribute("href").value(), "/lib/.opds");
    EXPECT_STREQ(LinkOf(root, "start").attribute("href").value(), "/lib/.opds");
    EXPECT_STREQ(LinkOf(root, "search").attribute("href").value(), "/lib/.opensearch.xml");
    EXPECT_STREQ(LinkOf(root, "search").attribute("type").value(), "application/opensearchdescription+xml");
    // A folder cannot be downloaded: it is no publication of an acquisition feed.
    ASSERT_EQ(feed->entries.size(), 3U);
    EXPECT_FALSE(feed->entries.contains("folder"));

    const std::map<std::string, std::string> types { { "book", "application/octet-stream" },
        { "cover", "application/epub+zip" }, { "zim", "application/x-zim" } };
    std::set<std::string> ids;
    for (const auto& [name, entry] : feed->entries) {
        ids.insert(entry.child_value("id"));
        EXPECT_TRUE(std::string(entry.child_value("id")).starts_with("urn:uuid:")) << name;
        EXPECT_STREQ(entry.child_value("updated"), "2025-12-09T21:19:13Z");
        EXPECT_STREQ(
            LinkOf(entry, "http://opds-spec.org/image").attribute("href").value(), ("/lib/.icon/" + name).c_str());
        EXPECT_STREQ(LinkOf(entry, "http://opds-spec.org/image/thumbnail").attribute("href").value(),
            ("/lib/.icon/" + name).c_str());
        const pugi::xml_node download = LinkOf(entry, "http://opds-spec.org/acquisition/open-access");
        EXPECT_STREQ(download.attribute("href").value(), ("/lib/.download/" + name).c_str());
        EXPECT_EQ(download.attribute("type").value(), types.at(name));
        EXPECT_EQ(download.attribute("length").as_llong(), library.Book(name).fileSize);
    }
    EXPECT_EQ(ids.size(), 3U);

    // The hostile title and description come back as the text they are, control character left out.
    const pugi::xml_node hostile = feed->entries["book"];
    EXPECT_STREQ(hostile.child_value("title"), "<b>Tom & \"Jerry\"</b> </script>");
    EXPECT_STREQ(hostile.child_value("summary"), TTestLibrary::kHostileDescription);
    // Language, authors and icon type from each source's metadata.
    const pugi::xml_node cover = feed->entries["cover"];
    EXPECT_STREQ(cover.child_value("dc:language"), "de-CH");
    std::vector<std::string> authors;
    for (const pugi::xml_node author : cover.children("author"))
        authors.push_back(author.child_value("name"));
    EXPECT_EQ(authors, (std::vector<std::string> { "A. Writer", "B. Painter" }));
    EXPECT_STREQ(LinkOf(cover, "http://opds-spec.org/image").attribute("type").value(), "image/jpeg");
    EXPECT_STREQ(LinkOf(feed->entries["zim"], "http://opds-spec.org/image").attribute("type").value(), "image/png");
    EXPECT_STREQ(
        LinkOf(feed->entries["book"], "http://opds-spec.org/image").attribute("type").value(), "image/svg+xml");
    // A ZIM archive keeps its own UUID; other ids are made from the name, the same every time.
    const std::string zimId = feed->entries["zim"].child_value("id");
    EXPECT_EQ(zimId, "urn:uuid:" + static_cast<std::string>(zim::Archive(library.Book("zim").path).getUuid()));
    EXPECT_STREQ(feed->entries["zim"].child("author").child_value("name"), "A. Writer");
    EXPECT_EQ(std::string(feed->entries["book"].child_value("id")), OpdsBookId(library.Book("book")));
    EXPECT_EQ(std::string(feed->entries["book"].child_value("id")).substr(9 + 14, 1), "8"); // version 8
}

TEST(OpdsCatalog, WordsAndLanguageFilterTheFeedAndTheOpenSearchDescriptionPointsAtIt)
{
    TTestLibrary library;
    TLibraryCatalog catalog(library, "/lib", library.err);
    EXPECT_EQ(ParseFeed(catalog, "q=covered")->entries.size(), 1U);
    EXPECT_EQ(ParseFeed(catalog, "q=PICTURES+book")->entries.size(), 1U);
    EXPECT_EQ(ParseFeed(catalog, "q=pictures+nowhere")->entries.size(), 0U);
    const auto jerry = ParseFeed(catalog, "q=%22jerry%22");
    EXPECT_EQ(jerry->entries.size(), 1U);
    EXPECT_STREQ(LinkOf(jerry->document.child("feed"), "self").attribute("href").value(), "/lib/.opds?q=%22jerry%22");
    const auto english = ParseFeed(catalog, "lang=eng");
    EXPECT_EQ(english->entries.size(), 1U);
    EXPECT_TRUE(english->entries.contains("zim"));
    EXPECT_EQ(ParseFeed(catalog, "lang=de")->entries.size(), 1U);

    const std::optional<TAnswer> description
        = catalog.Answer(LibraryRequest("/lib/.opensearch.xml"), "/.opensearch.xml");
    ASSERT_TRUE(description);
    EXPECT_EQ(description->contentType, "application/opensearchdescription+xml");
    pugi::xml_document parsed;
    ASSERT_TRUE(parsed.load_string(description->text.c_str()));
    const pugi::xml_node url
        = parsed.child("OpenSearchDescription")
              .find_child_by_attribute("Url", "type", "application/atom+xml;profile=opds-catalog;kind=acquisition");
    EXPECT_STREQ(url.attribute("template").value(), "/lib/.opds?q={searchTerms}");
}

TEST(CatalogText, EscapesAndMatchesTextAsTheCatalogNeeds)
{
    EXPECT_EQ(EscapeXml("a<b>&\"c\x01\x1F\t\n"), "a&lt;b&gt;&amp;&quot;c\t\n");
    EXPECT_EQ(EscapeXml("caf\xC3\xA9 \xFF"), "caf\xC3\xA9 \xEF\xBF\xBD");
    EXPECT_EQ(EscapeXml("\xEF\xBF\xBEx"), "x"); // U+FFFE
    EXPECT_EQ(EscapeQueryValue("a b&c=d/\xC3\xA9~"), "a%20b%26c%3Dd%2F%C3%A9~");
    EXPECT_EQ(Rfc3339(0), "1970-01-01T00:00:00Z");
    EXPECT_EQ(Rfc3339(951782400), "2000-02-29T00:00:00Z");
    EXPECT_TRUE(HoldsEveryWord("Das Große Buch", "große BUCH"));
    EXPECT_TRUE(HoldsEveryWord("Das GROSSE Buch", ""));
    EXPECT_FALSE(HoldsEveryWord("Das Große Buch", "große heft"));
    EXPECT_TRUE(IsLanguage("en-GB", "en"));
    EXPECT_TRUE(IsLanguage("EN", "en"));
    EXPECT_FALSE(IsLanguage("eng", "en"));
    EXPECT_FALSE(IsLanguage("", "en"));
    EXPECT_TRUE(IsLanguage("", ""));
}

} // namespace
