// How results rank on books made here: titles, whole words, repeated navigation, source copies.

#include "search/BookPageFeeder.h"
#include "search/SearchIndex.h"
#include "search/tests/SearchBook.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

std::vector<std::string> Ranked(TSearchIndex& index, std::string_view typed, LastWord last = LastWord::Whole)
{
    std::vector<std::string> names;
    for (const SearchHit& hit : index.Search(typed, 0, 100, last).hits)
        names.push_back(hit.name);
    return names;
}

using Names = std::vector<std::string>;

// A manual's page as documentation generators write them: a navigation table naming the previous
// and next pages above and below the text, a sidebar, and a footer the same on every page.
std::string ManualPage(
    const std::string& title, const std::string& previous, const std::string& next, const std::string& text)
{
    const std::string table = "<div class=\"navheader\"><table><tr><td><a href=\"p.html\">Prev</a></td>"
                              "<td><a href=\"u.html\">Up</a></td><th>"
        + previous + "</th><td><a href=\"index.html\">Home</a></td><td>" + next
        + "</td><td><a href=\"n.html\">Next</a></td></tr></table></div>";
    return HtmlPage(title,
        table + "<div class=\"sphinxsidebar\" role=\"navigation\"><h3>Sidebar</h3><p>borrow checker guide</p></div>"
            + "<nav><a href=\"x.html\">Table of contents</a></nav><div class=\"body\"><h1>" + title + "</h1><p>" + text
            + "</p></div>" + table + "<div class=\"footer\">Copyright the authors, built by a generator.</div>");
}

class Ranking : public ::testing::Test {
protected:
    void SetUp() override
    {
        BookPages pages = {
            { "/hash.html",
                ManualPage("Hash Indexes", "Index Types", "Automatic Vacuuming",
                    "Hash indexes are fully supported; vacuum reclaims their pages.") },
            { "/maintenance.html",
                ManualPage("Routine Maintenance", "Hash Indexes", "VACUUM",
                    "Run vacuum often; a full vacuum rewrites the table, vacuum full vacuum full vacuum.") },
            { "/sql-vacuum.html",
                ManualPage("VACUUM", "Routine Maintenance", "Automatic Vacuuming",
                    "VACUUM reclaims storage. FULL rewrites the whole table.") },
            { "/auto.html",
                ManualPage("Automatic Vacuuming", "VACUUM", "Index Types",
                    "The daemon runs by itself and the cost limit applies.") },
            { "/index-types.html",
                ManualPage("Index Types", "Automatic Vacuuming", "Hash Indexes",
                    "B-tree, hash and others; vacuumdb shrinks an index.") },
            { "/library/json.html", ManualPage("json", "Index Types", "VACUUM", "Encodes and decodes json.") },
            { "/_sources/library/json.rst.txt", "json\n====\nEncodes and decodes json. dumps and loads." },
            { "/_sources/notes.txt", "Notes with no page of their own: json." },
        };
        book = MakeSearchBook(pages);
        IndexWholeBook(book->reader, index);
    }

    std::unique_ptr<SearchBook> book;
    TSearchIndex index;
};

TEST_F(Ranking, APageWhoseTitleHoldsTheWordsWinsAndWholeWordsBeatPrefixes)
{
    // The maintenance page says "vacuum full" more often, but the VACUUM page is the one named so.
    EXPECT_EQ(Ranked(index, "vacuum full").at(0), "/sql-vacuum.html");
    // "full" is a whole word: "fully" on the hash page does not match it.
    Names full = Ranked(index, "full");
    std::sort(full.begin(), full.end());
    EXPECT_EQ(full, (Names { "/maintenance.html", "/sql-vacuum.html" }));
    // "Vacuuming" is a form of the word; "vacuumdb" only begins with it, so it is found while the
    // word is being typed, and then below every page with the word itself.
    const Names vacuum { "/sql-vacuum.html", "/auto.html", "/maintenance.html", "/hash.html" };
    EXPECT_EQ(Ranked(index, "vacuum"), vacuum);
    Names typing = vacuum;
    typing.push_back("/index-types.html");
    EXPECT_EQ(Ranked(index, "vacuum", LastWord::Prefix), typing);
}

TEST_F(Ranking, NavigationRepeatedOnEveryPageNeitherMatchesNorShows)
{
    // Every page names "Automatic Vacuuming" in its navigation table; only its own page matches.
    EXPECT_EQ(Ranked(index, "automatic"), Names { "/auto.html" });
    EXPECT_EQ(Ranked(index, "prev home next"), Names {});
    EXPECT_EQ(Ranked(index, "copyright"), Names {});
    EXPECT_EQ(Ranked(index, "borrow checker"), Names {});
    EXPECT_EQ(Ranked(index, "contents"), Names {});
    const SearchResults results = index.Search("daemon", 0, 1);
    ASSERT_EQ(results.hits.size(), 1u);
    EXPECT_EQ(MarkedSnippet(results.hits[0].snippet, "[", "]"),
        "Automatic Vacuuming The [daemon] runs by itself and the cost limit applies.");
}

TEST_F(Ranking, ASourceCopyBesideItsPageIsNotAHitOfItsOwn)
{
    EXPECT_EQ(Ranked(index, "dumps"), Names {});
    EXPECT_EQ(Ranked(index, "json"), (Names { "/library/json.html", "/_sources/notes.txt" }));
}

} // namespace

// The index keeps stems, and some stems change when stemmed again ("comprehensions" is kept as
// "comprehens"): while typed, such a word still finds its pages.
TEST(RankingWhileTyping, AWordWhoseStemChangesWhenStemmedAgainIsStillFound)
{
    const auto book = MakeSearchBook({ { "/ds.html", HtmlPage("Data", "<p>List comprehensions make lists.</p>") },
        { "/other.html", HtmlPage("Other", "<p>Nothing here.</p>") } });
    TSearchIndex index;
    IndexWholeBook(book->reader, index);
    for (const char* typed : { "comprehension", "list comprehension", "list comprehensions", "list compr" }) {
        SCOPED_TRACE(typed);
        EXPECT_EQ(Ranked(index, typed, LastWord::Prefix), Names { "/ds.html" });
        EXPECT_EQ(Ranked(index, typed).size(), std::string_view(typed).ends_with("compr") ? 0u : 1u);
    }
}

TEST(RankingByName, ATitleThatIsTheQueryAndWordsWrittenJoinedComeFirst)
{
    TSearchIndex index;
    const auto add = [&](std::string name, std::string title, std::string body) {
        index.Add(name, PageText { title, title, body, {}, {} });
    };
    add("/create-table-as.html", "CREATE TABLE AS",
        "create table as: like create table, create table as makes a table, create table from a query");
    add("/create-table.html", "CREATE TABLE", "define a new table");
    add("/other.html", "Other", "other words");
    EXPECT_EQ(index.Search("create table", 0, 10).hits.at(0).name, "/create-table.html");
    // A page about iterators says typing often; the one that documents typing.Protocol says it
    // joined, and that is what the two words typed one after the other name.
    add("/iter.html", "Iterator Protocol", "typing typing typing of iterators, typing again");
    add("/typing.html", "typing", "class typing.Protocol is the base of protocol classes");
    EXPECT_EQ(index.Search("typing protocol", 0, 10).hits.at(0).name, "/typing.html");
    EXPECT_EQ(index.Search("typing protocol", 0, 10).total, 2);
}

TEST(RankingByName, ATitleHoldingHalfTheWordsOutranksHeadingsHoldingThemAll)
{
    // Of two words, a title holding one holds half of them: that tier comes before every page
    // whose title holds fewer, even one whose headings and text hold both more often.
    TSearchIndex index;
    index.Add("/half.html", PageText { "Alpha notes", "", "alpha beta", {}, {} });
    index.Add("/headings.html", PageText { "Other page", "Alpha beta", "alpha beta alpha beta alpha beta", {}, {} });
    EXPECT_EQ(Ranked(index, "alpha beta"), (Names { "/half.html", "/headings.html" }));
}
