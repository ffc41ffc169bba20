// Searching books made here: what matches, how results rank, and damaged pages.

#include "search/BookPageFeeder.h"
#include "search/SearchIndex.h"
#include "search/tests/SearchBook.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

// Indexes every entry; returns the names of the damaged ones.
std::vector<std::string> IndexAll(SearchBook& book, TSearchIndex& index)
{
    std::vector<std::string> damaged;
    IndexWholeBook(book.reader, index, [&](int entry, PageIndexing outcome) {
        if (outcome == PageIndexing::Damaged)
            damaged.push_back(book.reader.Pages()[entry]);
    });
    return damaged;
}

std::vector<std::string> NamesFound(TSearchIndex& index, std::string_view typed, LastWord last = LastWord::Whole)
{
    std::vector<std::string> names;
    for (const SearchHit& hit : index.Search(typed, 0, 100, last).hits)
        names.push_back(hit.name);
    std::sort(names.begin(), names.end());
    return names;
}

using Names = std::vector<std::string>;

class BookSearch : public ::testing::Test {
protected:
    void SetUp() override
    {
        book = MakeSearchBook({
            { "/script.htm",
                HtmlPage("Scripts", "<script>var scriptonly = 1;</script><style>.styleonly{}</style><p>visible</p>") },
            { "/resume.htm", HtmlPage("CV", "<p>My R&eacute;sum&eacute; and na\xC3\xAFve caf&#xE9; notes</p>") },
            { "/phrase.htm", HtmlPage("Phrases", "<p>the page service answers; service of the page</p>") },
            { "/numbers.htm", HtmlPage("Numbers", "<p>Port 0x70 and Python 3.11 and 311 and 3 then 11</p>") },
            { "/settings.htm", HtmlPage("Settings", "<p>Set max_parallel_workers_per_gather in pg_hba.conf</p>") },
            { "/apart.htm", HtmlPage("Apart", "<p>parallel plans use workers; pg notes on hba and conf</p>") },
            { "/latin.htm",
                "<html><head><title>Ol\xE9</title></head><body><p>Cr\xE8me br\xFBl\xE9"
                "e \x80 5</p></body>" },
            { "/utf8.htm",
                "<html><body><p>Cr\xC3\xA8me fra\xC3\xAE"
                "che</p></body></html>" },
            { "/picture.png", "zlib stream picture bytes" },
            { "/broken.htm", HtmlPage("Broken", "<p>zlib stream damaged here</p>") },
            { "/mention.htm", HtmlPage("Other", "<p>zlib zlib zlib stream mentioned often, zlib again</p>") },
            { "/zlib.htm", HtmlPage("The zlib stream", "<p>A short page about a stream.</p>") },
            { "/ZLIB.HTM", HtmlPage("Unreachable duplicate", "<p>zlib</p>") },
            { "/notes.txt", "plain zlib stream notes" },
            // Japanese and Chinese leave no blanks between words.
            { "/tokyo.htm",
                HtmlPage("\xE6\x9D\xB1\xE4\xBA\xAC",
                    "<p>"
                    "Tokyo\xE9\x83\xBD\xE3\x81\xAF\xE6\x97\xA5\xE6\x9C\xAC\xE3\x81\xAE\xE9\xA6\x96\xE9\x83\xBD\xE3\x81"
                    "\xA7\xE3\x81\x99</p>") },
        });
        DamagePage(*book, "/broken.htm");
        damaged = IndexAll(*book, index);
    }

    std::unique_ptr<SearchBook> book;
    TSearchIndex index;
    std::vector<std::string> damaged;
};

TEST_F(BookSearch, FindsVisibleTextOnlyWithCaseAccentsAndReferencesFolded)
{
    EXPECT_EQ(NamesFound(index, "visible"), Names { "/script.htm" });
    EXPECT_EQ(NamesFound(index, "scriptonly "), Names {});
    EXPECT_EQ(NamesFound(index, "styleonly "), Names {});
    EXPECT_EQ(NamesFound(index, "RESUME "), Names { "/resume.htm" });
    EXPECT_EQ(NamesFound(index, "naive cafe "), Names { "/resume.htm" });
    EXPECT_EQ(NamesFound(index, "résumé"), Names { "/resume.htm" });
    // A Windows-1252 page and a UTF-8 one read alike.
    EXPECT_EQ(NamesFound(index, "creme "), (Names { "/latin.htm", "/utf8.htm" }));
    EXPECT_EQ(NamesFound(index, "brulee"), Names { "/latin.htm" });
    EXPECT_EQ(NamesFound(index, "ole "), Names { "/latin.htm" });
    EXPECT_EQ(NamesFound(index, "fraiche"), Names { "/utf8.htm" });
}

TEST_F(BookSearch, FindsWordsInsideTextWrittenWithoutBlanks)
{
    const std::string japan = "\xE6\x97\xA5\xE6\x9C\xAC"; // 日本
    const std::string capital = "\xE9\xA6\x96\xE9\x83\xBD"; // 首都
    EXPECT_EQ(NamesFound(index, japan), Names { "/tokyo.htm" });
    EXPECT_EQ(NamesFound(index, capital + " tokyo"), Names { "/tokyo.htm" });
    EXPECT_EQ(NamesFound(index, "\xE6\x9C\xAC\xE6\x97\xA5 "), Names {}); // 本日: the same characters, other order
    const SearchResults results = index.Search(japan, 0, 1);
    ASSERT_EQ(results.hits.size(), 1u);
    EXPECT_EQ(MarkedSnippet(results.hits[0].snippet, "[", "]"),
        "Tokyo\xE9\x83\xBD\xE3\x81\xAF[" + japan + "]\xE3\x81\xAE" + capital + "\xE3\x81\xA7\xE3\x81\x99");
}

TEST_F(BookSearch, PhrasesPrefixesAndNumbers)
{
    EXPECT_EQ(NamesFound(index, "\"page service\""), Names { "/phrase.htm" });
    EXPECT_EQ(NamesFound(index, "\"service page\""), Names {});
    EXPECT_EQ(NamesFound(index, "\"service of the"), Names { "/phrase.htm" });
    // The last word is a prefix only while it is being typed.
    EXPECT_EQ(NamesFound(index, "servi", LastWord::Prefix), Names { "/phrase.htm" });
    EXPECT_EQ(NamesFound(index, "servi "), Names {});
    EXPECT_EQ(NamesFound(index, "servi"), Names {});
    EXPECT_EQ(NamesFound(index, "0x70 "), Names { "/numbers.htm" });
    EXPECT_EQ(NamesFound(index, "0x7", LastWord::Prefix), Names { "/numbers.htm" });
    EXPECT_EQ(NamesFound(index, "0x7"), Names {});
    EXPECT_EQ(NamesFound(index, "3.11 "), Names { "/numbers.htm" });
    EXPECT_EQ(NamesFound(index, "3.12 "), Names {});
    EXPECT_EQ(NamesFound(index, "python 311"), Names { "/numbers.htm" });
}

TEST_F(BookSearch, NamesJoinedByPunctuationAreFoundWholeOrInPartsButNotAsWordsApart)
{
    const Names settings { "/settings.htm" };
    EXPECT_EQ(NamesFound(index, "pg_hba.conf"), settings);
    EXPECT_EQ(NamesFound(index, "hba.conf"), settings);
    EXPECT_EQ(NamesFound(index, "pg-hba"), settings);
    EXPECT_EQ(NamesFound(index, "parallel_workers"), settings);
    EXPECT_EQ(NamesFound(index, "max_parallel_workers_per_gather"), settings);
    EXPECT_EQ(NamesFound(index, "max_parallel_wo", LastWord::Prefix), settings);
    EXPECT_EQ(NamesFound(index, "\"parallel workers\""), settings);
    EXPECT_EQ(NamesFound(index, "parallel workers"), (Names { "/apart.htm", "/settings.htm" }));
    EXPECT_EQ(NamesFound(index, "workers_parallel"), Names {});
    const SearchResults results = index.Search("hba.conf", 0, 1);
    ASSERT_EQ(results.hits.size(), 1u);
    EXPECT_EQ(MarkedSnippet(results.hits[0].snippet, "[", "]"), "\xE2\x80\xA6gather in pg_[hba].[conf]");
}

TEST_F(BookSearch, RanksTitleMatchesFirstWithTitlesScoresAndMarkedSnippets)
{
    const SearchResults results = index.Search("zlib stream", 0, 10);
    ASSERT_EQ(results.total, 3); // not the picture, the damaged page or the unreachable duplicate
    EXPECT_EQ(results.hits[0].name, "/zlib.htm");
    EXPECT_EQ(results.hits[0].title, "The zlib stream");
    EXPECT_GT(results.hits[0].score, results.hits[1].score);
    EXPECT_GT(results.hits[2].score, 0);
    const auto mention = std::find_if(
        results.hits.begin(), results.hits.end(), [](const SearchHit& hit) { return hit.name == "/mention.htm"; });
    ASSERT_NE(mention, results.hits.end());
    EXPECT_EQ(mention->title, "Other");
    EXPECT_EQ(MarkedSnippet(mention->snippet, "[", "]"), "[zlib] [zlib] [zlib] [stream] mentioned often, [zlib] again");
    // A page matched by its title alone shows its first words.
    EXPECT_EQ(MarkedSnippet(index.Search("ole", 0, 1).hits.at(0).snippet, "[", "]"), "Crème brûlée € 5");
}

TEST_F(BookSearch, SkipsAndNamesADamagedPageAndSearchesTheRest)
{
    EXPECT_EQ(damaged, Names { "/broken.htm" });
    EXPECT_EQ(NamesFound(index, "damaged"), Names {});
    EXPECT_EQ(NamesFound(index, "fraiche").size(), 1u);
}

TEST_F(BookSearch, NoTypedTextFailsAndEveryResultComesAPageAtATime)
{
    std::mt19937 random(15);
    const std::string alphabet = "ab \"*()-+:^.{}NEARORAND\\'\xC3\xA9\xFF";
    for (int i = 0; i < 2000; ++i) {
        std::string typed;
        for (int length = random() % 12; length > 0; --length)
            typed += alphabet[random() % alphabet.size()];
        EXPECT_NO_THROW(index.Search(typed, 0, 5)) << typed;
    }
    TSearchIndex large;
    for (int i = 0; i < 250; ++i)
        large.Add(
            "/p" + std::to_string(i) + ".htm", PageText { "Page", {}, "common word " + std::to_string(i), {}, {} });
    const SearchResults second = large.Search("common", 100, 100);
    EXPECT_EQ(second.total, 250);
    EXPECT_EQ(second.hits.size(), 100u);
    EXPECT_EQ(large.Search("common", 200, 100).hits.size(), 50u);
    EXPECT_TRUE(large.Search("common", 300, 100).hits.empty());
    // A word being typed finds every word it can become, few or many, beside words before it.
    EXPECT_EQ(large.Search("word 24", 0, 1, LastWord::Prefix).total, 11);
    EXPECT_EQ(large.Search("word 1", 0, 1, LastWord::Prefix).total, 111);
    EXPECT_EQ(large.Search("\"common word\" 2", 0, 1, LastWord::Prefix).total, 61);
    EXPECT_EQ(large.Search("word 1", 0, 1).total, 1);
    // A phrase is checked in the text of the best 500 pages holding its words, not of every page:
    // those below count unchecked.
    TSearchIndex apart;
    for (int i = 0; i < 600; ++i)
        apart.Add("/a" + std::to_string(i) + ".htm", PageText { "Page", {}, "alpha then beta", {}, {} });
    EXPECT_EQ(apart.Search("\"alpha beta\"", 0, 10).total, 100);
    EXPECT_EQ(apart.Search("\"alpha then beta\"", 0, 10).total, 600);
}

} // namespace

TEST(BookSearchPrefix, TheLastWordIsAPrefixOfWhatWasTypedNeverOfItsStem)
{
    // "socks" is kept as the stem "sock", which "socket" begins with too.
    const std::unique_ptr<SearchBook> book = MakeSearchBook({
        { "/socks.htm", HtmlPage("Proxies", "<p>SOCKS proxies forward any connection.</p>") },
        { "/socksified.htm", HtmlPage("Wrapped", "<p>Socksified programs reach the proxy.</p>") },
        { "/socket.htm", HtmlPage("Sockets", "<p>A socket is open; sockets close.</p>") },
        { "/runner.htm", HtmlPage("Runner", "<p>The test runner starts.</p>") },
        { "/running.htm", HtmlPage("Running", "<p>Running the tests.</p>") },
    });
    TSearchIndex index;
    EXPECT_TRUE(IndexAll(*book, index).empty());
    EXPECT_EQ(NamesFound(index, "SOCKS", LastWord::Prefix), (Names { "/socks.htm", "/socksified.htm" }));
    EXPECT_EQ(NamesFound(index, "socks"), Names { "/socks.htm" }) << "the command line asks for the word whole";
    EXPECT_EQ(NamesFound(index, "sock", LastWord::Prefix), (Names { "/socket.htm", "/socks.htm", "/socksified.htm" }));
    EXPECT_EQ(NamesFound(index, "running", LastWord::Prefix), Names { "/running.htm" });
    // "socksy" is kept as "socksi", which "socksified" begins with; no word begins with "socksy".
    EXPECT_EQ(NamesFound(index, "socksy", LastWord::Prefix), Names {});
}
