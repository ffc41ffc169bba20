// How a book's contents are read from its pages and stored: every family of table of contents
// that documentation tools write, the rel="next" chain, plain links, and the stored form.

#include "common/AnsiText.h"
#include "common/Exception.h"
#include "sources/ContentsReading.h"
#include "sources/EpubPackage.h"
#include "sources/LinkResolution.h"
#include "sources/PageListSource.h"
#include "sources/SourceContents.h"
#include "sources/StoredContents.h"
#include "sources/tests/ContentsOutline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <malloc.h>
#include <map>
#include <thread>

namespace {

// A book in memory: pages by name, found with letter case ignored.
class TMemoryBook {
public:
    TMemoryBook(std::map<std::string, std::string> pages, std::string home = "/index.html")
        : pages_(std::move(pages))
    {
        book_.home = std::move(home);
        book_.pageCount = pages_.size();
        book_.find = [this](const std::string& name) -> std::optional<std::string> {
            for (const auto& [page, bytes] : pages_)
                if (LowerCaseAscii(page) == LowerCaseAscii(name))
                    return page;
            return std::nullopt;
        };
        book_.read = [this](const std::string& name) -> std::optional<std::string> {
            const auto page = book_.find(name);
            return page ? std::optional(pages_.at(*page)) : std::nullopt;
        };
    }
    TContents Contents() const { return ReadContentsFromPages(book_); }

private:
    std::map<std::string, std::string> pages_;
    TContentsBook book_;
};

std::map<std::string, std::string> WithPages(std::map<std::string, std::string> pages)
{
    for (const char* name : { "/a.html", "/b.html", "/c.html", "/d.html", "/sub/e.html", "/genindex.html" })
        pages.emplace(name, std::string("<title>") + name + "</title>");
    return pages;
}

TEST(ContentsFromPages, ReadsTheNestedListsEachToolWrites)
{
    // DocBook: dl, dt holding the link, the dd after it holding the entries below.
    const TMemoryBook docbook(WithPages({ { "/index.html",
        "<div class=toc><p><b>Table of Contents</b></p><dl class=toc>"
        "<dt><span class=preface><a href=\"a.html\">Preface</a></span></dt>"
        "<dt><span class=part><a href=\"b.html\">I. Tutorial</a></span></dt>"
        "<dd><dl><dt><span class=chapter><a href=\"c.html\">1. Getting &amp; Started</a></span></dt>"
        "<dd><dl><dt><a href=\"c.html#s1\">1.1. Install</a></dt></dl></dd>"
        "<dt><a href=\"sub/e.html\">2. More</a></dt></dl></dd>"
        "<dt><a href='d.html'>Index</a></dt></dl></div>" } }));
    EXPECT_EQ(Outline(docbook.Contents()),
        "Preface>/a.html\nI. Tutorial>/b.html\n  1. Getting & Started>/c.html\n    1.1. Install>/c.html#s1\n"
        "  2. More>/sub/e.html\nIndex>/d.html\n");

    // Sphinx: several lists under captions in one element make one contents; a navigation bar
    // elsewhere with fewer pages does not win.
    const TMemoryBook sphinx(WithPages({ { "/index.html",
        "<ul class=nav><li><a href=genindex.html>index</a></li><li><a href=a.html>next</a></ul>"
        "<div class=toctree-wrapper><p class=caption>Guide</p><ul><li class=toctree-l1>"
        "<a class=\"reference internal\" href=\"a.html\">Alpha</a><ul><li><a href=\"a.html#x\">Alpha X</a></li>"
        "<li><a href=b.html>Beta</a></li></ul></li></ul><p class=caption>Reference</p>"
        "<ul><li><a href=\"./c.html\">Gamma</a></li><li><a href=\"http://example.org/\">Outside</a></li>"
        "<li><a href=\"d.html?x=1\">Delta</a></li></ul></div>" } }));
    EXPECT_EQ(Outline(sphinx.Contents()),
        "Alpha>/a.html\n  Alpha X>/a.html#x\n  Beta>/b.html\nGamma>/c.html\nDelta>/d.html\n");

    // pandoc and EPUB navigation: ol in a nav, a heading item without a link keeps its entries,
    // unclosed li elements end at the next one. mdBook: ol class=chapter with nested ol.
    const TMemoryBook pandoc(WithPages({ { "/index.html",
        "<nav id=TOC><ol><li><span>Part One</span><ol><li><a href=a.html>One</a><li><a href=b.html>Two</a>"
        "</ol><li><a href=c.html>Three</a><ol class=section><li><a "
        "href=\"sub/e.html\">Three.1</a></ol></ol></nav>" } }));
    EXPECT_EQ(
        Outline(pandoc.Contents()), "Part One>\n  One>/a.html\n  Two>/b.html\nThree>/c.html\n  Three.1>/sub/e.html\n");

    // MkDocs: links to folders' pages written as "sub/e.html" from a page in a folder, with "..".
    const TMemoryBook mkdocs(WithPages({ { "/sub/index.html",
                                 "<ul class=md-nav><li><a href=\"../a.html\">A</a><ul><li><a href=\"e.html\">"
                                 "E</a></li></ul></li><li><a href=\"../../x.html\">Outside</a></li>"
                                 "<li><a href=\"/b.html\">B</a></li></ul>" } }),
        "/sub/index.html");
    EXPECT_EQ(Outline(mkdocs.Contents()), "A>/a.html\n  E>/sub/e.html\nB>/b.html\n");
}

// A chain of pages of many links each: the links of the pages the chain has left are not kept,
// so the memory in use stays flat along it (it grew by every page's links, gigabytes for twelve
// pages of 200,000). The heap in use is sampled as each page is read.
TEST(ContentsFromPages, TheNextChainKeepsNoPagesLinksBehindIt)
{
    constexpr int kPages = 12;
    std::string links;
    for (int i = 0; i < 20000; ++i)
        links += "<a href=\"x" + std::to_string(i) + ".html\">link</a>";
    std::map<std::string, std::string> pages;
    for (int i = 0; i < kPages; ++i) {
        const std::string next = i + 1 < kPages ? "<link rel=next href=p" + std::to_string(i + 1) + ".html>" : "";
        pages[i == 0 ? "/index.html" : "/p" + std::to_string(i) + ".html"]
            = "<title>P" + std::to_string(i) + "</title>" + next + links;
    }
    std::vector<std::size_t> inUse;
    TContentsBook book;
    book.home = "/index.html";
    book.pageCount = pages.size();
    book.find = [&](const std::string& name) -> std::optional<std::string> {
        return pages.contains(name) ? std::optional(name) : std::nullopt;
    };
    book.read = [&](const std::string& name) -> std::optional<std::string> {
        if (name.starts_with("/p") && name != "/p1.html")
            inUse.push_back(mallinfo2().uordblks);
        return pages.contains(name) ? std::optional(pages.at(name)) : std::nullopt;
    };
    EXPECT_EQ(ReadContentsFromPages(book).size(), std::size_t(kPages));
    ASSERT_FALSE(inUse.empty());
    const auto [least, most] = std::minmax_element(inUse.begin(), inUse.end());
    // One page's links cost about 1.3 MB here: the nine pages sampled after it, kept, were 11.5.
    EXPECT_LT(*most - *least, std::size_t(4) << 20);
}

TEST(ContentsFromPages, FallsBackToTheNextChainThenToTheHomePageLinks)
{
    // Without a list that names two pages the chain makes the contents, titles from the pages;
    // it stops where it loops back.
    const TMemoryBook chain({ { "/index.html",
                                  "<title>Home</title><link rel=\"next\" href=\"p1.html\"><ul><li><a href=p1.html>1</a>"
                                  "</ul>" },
        { "/p1.html", "<title>First</title><a rel=\"prev\" href=index.html>prev</a><a rel=next href=p2.html>n</a>" },
        { "/p2.html", "<title></title><h1>Second</h1><a rel='Next' href=p3.html>n</a>" },
        { "/p3.html", "<title>Third</title><link rel=next href=p1.html>" },
        { "/p4.html", "<title>Not reached</title>" } });
    EXPECT_EQ(Outline(chain.Contents()), "Home>/index.html\nFirst>/p1.html\nSecond>/p2.html\nThird>/p3.html\n");

    // Lists that name the chapters only get the pages the chain passes after each chapter below
    // it (DocBook's sections), and the pages before the first chapter first.
    const TMemoryBook merged({ { "/index.html",
                                   "<link rel=next href=intro.html><dl><dt><a href=ch1.html>Chapter 1</a></dt>"
                                   "<dd><dl><dt><a href=ch1.html#s>Part of 1</a></dt></dl></dd>"
                                   "<dt><a href=ch2.html>Chapter 2</a></dt></dl>" },
        { "/intro.html", "<title>Intro</title><a rel=next href=ch1.html>" },
        { "/ch1.html", "<title>C1</title><a rel=next href=s11.html>" },
        { "/s11.html", "<title>1.1</title><a rel=next href=s12.html>" },
        { "/s12.html", "<title>1.2</title><a rel=next href=ch2.html>" },
        { "/ch2.html", "<title>C2</title><a rel=next href=s21.html>" }, { "/s21.html", "<title>2.1</title>" } });
    EXPECT_EQ(Outline(merged.Contents()),
        "Intro>/intro.html\nChapter 1>/ch1.html\n  Part of 1>/ch1.html#s\n  1.1>/s11.html\n  1.2>/s12.html\n"
        "Chapter 2>/ch2.html\n  2.1>/s21.html\n");

    // No list, no chain: the home page's links to its pages in order, each once, pictures and
    // outside links passed over.
    const TMemoryBook links(
        { { "/index.html",
              "<p><a href=b.html>Bee</a> <a href=a.html>Ay</a> <a href=pic.png>picture</a> "
              "<a href=b.html#x>Bee again</a> <a href=mailto:x@y>mail</a> <a href=index.html>home</a>" },
            { "/a.html", "" }, { "/b.html", "" }, { "/pic.png", "" } });
    EXPECT_EQ(Outline(links.Contents()), "Bee>/b.html\nAy>/a.html\n");

    const TMemoryBook empty(std::map<std::string, std::string> { { "/index.html", "<p>No links at all</p>" } });
    EXPECT_TRUE(empty.Contents().empty());
}

TEST(ContentsFromPages, AListOfAFewOfTheChainsPagesIsANavigationBar)
{
    // The home page lists two pages and starts a rel="next" chain: with 20 pages of the chain or
    // fewer a listed page, the list is the contents and the chain fills it in; with more, the list
    // is a navigation bar and the chain is the contents.
    const auto book = [](int chained) {
        std::map<std::string, std::string> pages { { "/index.html",
            "<title>Home</title><link rel=next href=p1.html><ul><li><a href=p5.html>Five</a></li>"
            "<li><a href=p9.html>Nine</a></li></ul>" } };
        for (int i = 1; i <= chained; ++i)
            pages.emplace("/p" + std::to_string(i) + ".html",
                "<title>Page " + std::to_string(i) + "</title><link rel=next href=p" + std::to_string(i + 1)
                    + ".html>");
        return TMemoryBook(pages);
    };
    std::string chain = "Home>/index.html\n";
    for (int i = 1; i <= 40; ++i)
        chain += "Page " + std::to_string(i) + ">/p" + std::to_string(i) + ".html\n";
    EXPECT_EQ(Outline(book(40).Contents()), chain);
    const TContents listed = book(39).Contents();
    ASSERT_FALSE(listed.empty());
    EXPECT_NE(Outline(listed).find("Five>/p5.html\n"), std::string::npos) << Outline(listed);
    EXPECT_LT(listed.size(), 40u);
}

TEST(ContentsFromPages, ResolvesLinksAsABrowserWould)
{
    const auto place = ResolvePageLink("/docs/guide/index.html", "../api/Caf%C3%A9.html?v=2#Sec%201");
    ASSERT_TRUE(place);
    EXPECT_EQ(place->page, "/docs/api/Café.html");
    EXPECT_EQ(place->anchor, "Sec 1");
    EXPECT_EQ(ResolvePageLink("/a/b.html", "#top")->page, "/a/b.html");
    EXPECT_EQ(ResolvePageLink("/a/b.html", "./c/./d.html")->page, "/a/c/d.html");
    EXPECT_EQ(ResolvePageLink("/a/b.html", "..")->page, "/");
    EXPECT_EQ(ResolvePageLink("/a/b.html", "c/")->page, "/a/c/");
    for (const char* outside : { "https://x.org/a.html", "//host/a.html", "../../a.html", "", "#", "javascript:go()" })
        EXPECT_FALSE(ResolvePageLink("/a/b.html", outside)) << outside;
}

// A source without contents of its own that counts how often its home page is read, and whose
// first attempt at its own contents fails.
class TCountingSource : public TPageListSource {
public:
    TCountingSource()
    {
        const std::string home = "<ul><li><a href=\"A.html\">A</a></li><li><a href=\"b.html\">B</a></li></ul>";
        SetPages({ { "/index.html", home.size(),
                       [this, home] {
                           ++homeReads;
                           return home;
                       } },
            { "/a.html", 0, [] { return std::string(); } }, { "/b.html", 0, [] { return std::string(); } } });
    }
    std::string Title() const override { return "Counted"; }
    std::string HomePageName() const override { return "/index.html"; }
    TContents Contents() const override
    {
        if (failNext.exchange(false))
            throw Exception("the contents cannot be read just now");
        return {};
    }

    std::atomic<int> homeReads = 0;
    mutable std::atomic<bool> failNext = true;
};

TEST(ContentsOfSource, AreReadOnceForEveryThreadAndAgainAfterAFailure)
{
    TCountingSource source;
    EXPECT_THROW(ContentsOfSource(source), Exception);
    std::vector<const TContents*> seen(4);
    std::vector<std::thread> readers;
    for (std::size_t i = 0; i < seen.size(); ++i)
        readers.emplace_back([&, i] { seen[i] = &ContentsOfSource(source); });
    for (std::thread& reader : readers)
        reader.join();
    EXPECT_EQ(source.homeReads.load(), 1);
    for (const TContents* contents : seen)
        EXPECT_EQ(contents, seen[0]);
    // Entries name pages as the source stores them, found without reading them.
    EXPECT_EQ(Outline(*seen[0]), "A>/a.html\nB>/b.html\n");
}

TEST(LinkResolution, ContentsEpubNavigationAndTheLinkCheckResolveAlike)
{
    for (const char* scheme : { "http://x.org", "mailto:a@b.org", "C:/x.htm", "x-y.z+w:1" })
        EXPECT_TRUE(HasUrlScheme(scheme)) << scheme;
    for (const char* path : { "a b:c.html", "1x:y.html", ":x.html", "a/b:c.html", "plain.html" })
        EXPECT_FALSE(HasUrlScheme(path)) << path;

    // What a browser asks for: escapes and empty steps as written, a backslash a slash.
    EXPECT_EQ(ResolveLinkPath("/a/b.html", "..\\c%20d.html"), "/c%20d.html");
    EXPECT_EQ(ResolveLinkPath("/a/b.html", "x//y/."), "/a/x//y/");
    EXPECT_EQ(ResolveLinkPath("/a/b.html", ""), "/a/b.html");
    EXPECT_FALSE(ResolveLinkPath("/a/b.html", "../.."));

    // A page name: the link's escapes decoded, not the base's; slashes run together.
    EXPECT_EQ(ResolvePageLink("/100%41/b.html", "c%20d.html")->page, "/100%41/c d.html");
    EXPECT_EQ(ResolvePageLink("/a/b.html", "sub\\x//y.html")->page, "/a/sub/x/y.html");

    // An EPUB's navigation takes the same rule, in archive paths without the leading "/".
    std::string fragment;
    EXPECT_EQ(ResolveEpubHref("OEBPS/nav.xhtml", "text/One.xhtml?v=1#p%201", &fragment), "OEBPS/text/One.xhtml");
    EXPECT_EQ(fragment, "#p%201");
    EXPECT_EQ(ResolveEpubHref("OEBPS/nav.xhtml", "a b:c.xhtml", nullptr), "OEBPS/a b:c.xhtml");
    EXPECT_EQ(ResolveEpubHref("OEBPS/nav.xhtml", "#top", nullptr), "OEBPS/nav.xhtml");
    for (const char* away : { "//host/x.xhtml", "https://x.org/", "../../x.xhtml", "text/" })
        EXPECT_FALSE(ResolveEpubHref("OEBPS/nav.xhtml", away, nullptr)) << away;
}

TEST(StoredContents, RoundTripsAndRefusesOtherForms)
{
    TStoredContents stored;
    stored.openAtStart = true;
    stored.entries
        = { { "Part \"1\" é", "/a.html", "", { { "Sec", "/a.html", "s1", {} } } }, { "B", "/b.html", "", {} } };
    const auto back = ParseStoredContents(StoredContentsJson(stored));
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->openAtStart);
    EXPECT_EQ(Outline(back->entries), Outline(stored.entries));
    EXPECT_EQ(
        ContentsTreeJson({ { "T", "/p.html", "", {} } }, -1), R"([{"children":[],"page":"/p.html","title":"T"}])");
    for (const char* bad : { "", "[]", "{\"contents\": 3}", "{\"contents\": [1]}", "{\"open\": true}" })
        EXPECT_FALSE(ParseStoredContents(bad)) << bad;

    // Nesting past any real book is cut, not followed into a deep recursion.
    std::string deep;
    for (int i = 0; i < 5000; ++i)
        deep += "[{\"title\":\"x\",\"page\":\"/a.html\",\"children\":";
    deep += "[]";
    for (int i = 0; i < 5000; ++i)
        deep += "}]";
    const auto cut = ParseStoredContents("{\"contents\":" + deep + "}");
    EXPECT_LE(ContentsDepth(cut ? cut->entries : TContents()), 64u);
}

TEST(ContentsOrder, IsDepthFirstWithEachPlaceOnce)
{
    const TContents contents
        = { { "A", "/a.html", "", { { "A1", "/a1.html", "", {} }, { "A again", "/A.html", "", {} } } },
              { "B", "/b.html", "", { { "B#x", "/b.html", "x", {} } } } };
    std::string order;
    for (const TContentsEntry* entry : ContentsInReadingOrder(contents))
        order += entry->title + ";";
    EXPECT_EQ(order, "A;A1;B;B#x;");
    EXPECT_EQ(CountEntries(contents), 5u);
    EXPECT_EQ(ContentsDepth(contents), 2u);
}

} // namespace
