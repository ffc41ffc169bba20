// Titles offered while typing, breadcrumbs from the contents, and any source searched through the
// worker with both.

#include "common/Exception.h"
#include "search/ContentsPlaces.h"
#include "search/SourceSearch.h"
#include "search/TitleSuggestions.h"
#include "search/tests/AskedWorker.h"
#include "search/tests/SearchBook.h"
#include "sources/PageListSource.h"

#include <gtest/gtest.h>

namespace {

std::string Listed(const std::vector<TitleSuggestion>& found)
{
    std::string text;
    for (const TitleSuggestion& suggestion : found)
        text += suggestion.title + (suggestion.anchor.empty() ? "" : "#" + suggestion.anchor) + "|";
    return text;
}

TContents ManualContents()
{
    return {
        { "Part III", "/part3.html", "",
            { { "25. Routine Database Maintenance Tasks", "/maintenance.html", "",
                { { "25.1. Routine Vacuuming", "/routine-vacuuming.html", "", {} },
                    { "Vacuum Basics", "/routine-vacuuming.html", "basics", {} } } } } },
        { "Résumé", "/ch003.xhtml", "", {} },
    };
}

TEST(TitleSuggestions, TitlesBeginningWithTheWordsCaseAccentsAndNumbersIgnoredExactAndPageTitlesFirst)
{
    TTitleSuggestions titles;
    titles.Add({ "VACUUM", "/sql-vacuum.html", "", TitleSuggestion::Kind::PageTitle });
    titles.Add({ "vacuumdb", "/app-vacuumdb.html", "", TitleSuggestion::Kind::PageTitle });
    titles.Add({ "Vacuum and analyze", "/va.html", "", TitleSuggestion::Kind::PageTitle });
    titles.Add({ "Full vacuum", "/full.html", "", TitleSuggestion::Kind::PageTitle });
    titles.Add({ "vacuum", "/keyword.html", "", TitleSuggestion::Kind::Keyword });
    titles.AddContents(ManualContents(), TitleSuggestion::Kind::ContentsEntry);
    EXPECT_TRUE(titles.Suggest("vac", 5).empty()) << "nothing before Finish";
    titles.Finish();

    // The title that is the word comes first, then page titles before contents entries before
    // keywords, shorter first; the last word may be cut short, and only the beginning counts.
    EXPECT_EQ(Listed(titles.Suggest("Vacu", 10)), "VACUUM|vacuumdb|Vacuum and analyze|Vacuum Basics#basics|vacuum|");
    EXPECT_EQ(Listed(titles.Suggest("vacuum a", 10)), "Vacuum and analyze|");
    EXPECT_EQ(Listed(titles.Suggest("vacuum ", 10)), "VACUUM|vacuum|Vacuum and analyze|Vacuum Basics#basics|")
        << "a word followed by a blank is whole";
    EXPECT_EQ(Listed(titles.Suggest("vacuum", 2)), "VACUUM|vacuum|") << "the word whole comes first";
    // Numbering, accents and letter case are ignored; one suggestion per place.
    EXPECT_EQ(Listed(titles.Suggest("ROUTINE v", 10)), "25.1. Routine Vacuuming|");
    EXPECT_EQ(Listed(titles.Suggest("25 rout", 10)), "25. Routine Database Maintenance Tasks|");
    EXPECT_EQ(Listed(titles.Suggest("resu", 10)), "Résumé|");
    EXPECT_EQ(Listed(titles.Suggest("RÉSUMÉ", 10)), "Résumé|");
    EXPECT_TRUE(titles.Suggest("ull", 10).empty());
    EXPECT_TRUE(titles.Suggest(" ,; ", 10).empty());
    EXPECT_TRUE(titles.Suggest("vac", 0).empty());
}

TEST(ContentsPlaces, BreadcrumbsFromTheContentsAndTheEntryTitleForAFileNameOrSlugTitle)
{
    const TContentsPlaces places(ManualContents());
    EXPECT_EQ(BreadcrumbLine(places.Breadcrumb("/ROUTINE-vacuuming.html")),
        "Part III \u203a 25. Routine Database Maintenance Tasks");
    EXPECT_TRUE(places.Breadcrumb("/part3.html").empty());
    EXPECT_TRUE(places.Breadcrumb("/elsewhere.html").empty());

    SearchHit named { "/ch003.xhtml", "ch003.xhtml", 1, {}, {} };
    places.Place(named);
    EXPECT_EQ(named.title, "Résumé");
    SearchHit untitled { "/maintenance.html", "", 1, {}, {} };
    places.Place(untitled);
    EXPECT_EQ(untitled.title, "25. Routine Database Maintenance Tasks");
    EXPECT_EQ(untitled.breadcrumb, std::vector<std::string> { "Part III" });
    SearchHit titled { "/routine-vacuuming.html", "Vacuuming by hand", 1, {}, {} };
    places.Place(titled);
    EXPECT_EQ(titled.title, "Vacuuming by hand");

    // A page of any kind pages are read as, in any letter case, is named by its file name alone.
    for (const char* name : { "CH003.XHTML", "part.shtml", "notes.txt" }) {
        SearchHit hit { "/ch003.xhtml", name, 1, {}, {} };
        places.Place(hit);
        EXPECT_EQ(hit.title, "Résumé") << name;
    }
    EXPECT_FALSE(IsFileNameTitle("README.md")) << "no page is read as Markdown";
    EXPECT_TRUE(IsFileNameTitle("  ch003.xhtml "));
    EXPECT_TRUE(IsFileNameTitle(""));
    EXPECT_FALSE(IsFileNameTitle("Python 3.11"));
    EXPECT_FALSE(IsFileNameTitle("pg_hba.conf"));

    // A slug a converter left in <title> gives way to the entry's title too, as the window's
    // caption does; a title of words, a single plain word and a file's name stay.
    for (const char* slug : { "routine-vacuuming", " routine_vacuuming - ", "vacuuming \u2014", "25-1" }) {
        SearchHit hit { "/routine-vacuuming.html", slug, 1, {}, {} };
        places.Place(hit);
        EXPECT_EQ(hit.title, "25.1. Routine Vacuuming") << slug;
    }
    for (const char* title : { "Routine-Vacuuming", "vacuuming", "pg_hba.conf", "routine--vacuuming", "-", "a b-c" }) {
        SearchHit hit { "/routine-vacuuming.html", title, 1, {}, {} };
        places.Place(hit);
        EXPECT_EQ(hit.title, title);
    }
}

// A source of pages held in memory, with contents, as an EPUB or a folder would give them.
class TMemorySource : public TPageListSource {
public:
    explicit TMemorySource(const BookPages& pages)
    {
        std::vector<SourcePage> list;
        for (const auto& [name, bytes] : pages)
            list.push_back({ name, bytes.size(), [name = name, bytes = bytes] {
                                if (bytes == "broken")
                                    throw Exception("Cannot read " + name);
                                return bytes;
                            } });
        SetPages(std::move(list));
    }
    std::string Title() const override { return "Memory"; }
    std::string HomePageName() const override { return "/part3.html"; }
    TContents Contents() const override { return ManualContents(); }
    std::string KindName() const override { return "folder"; }
};

TEST(SourceSearch, AnySourceIsIndexedInMemoryWithoutItsRepeatedTextAndAnsweredWithBreadcrumbsAndSuggestions)
{
    // Every page repeats a bar of links, which is no page's text.
    const std::string bar = "<p>Stockroom Glossary</p>";
    TMemorySource source({ { "/part3.html", HtmlPage("Part III", bar + "<p>Administration</p>") },
        { "/maintenance.html", HtmlPage("", bar + "<p>Maintenance means vacuum now and then.</p>") },
        { "/routine-vacuuming.html", HtmlPage("25.1. Routine Vacuuming", bar + "<p>Vacuum reclaims space.</p>") },
        { "/_sources/routine-vacuuming.rst.txt", "Vacuum reclaims space." }, { "/ch003.xhtml", "broken" },
        { "/vacuum-cleaner.html", HtmlPage("Vacuum cleaners", bar + "<p>Nothing about databases.</p>") } });
    std::optional<SearchResults> answer;
    std::vector<std::string> damaged;
    {
        TAskedWorker asked(source);
        // Written on the worker's thread, read once it has joined.
        asked.Worker().OnDamaged = [&](const std::string& name) { damaged.push_back(name); };
        answer = asked.Ask("stockroom", 0, 10, LastWord::Whole, 5);
        ASSERT_TRUE(answer.has_value());
        EXPECT_EQ(answer->total, 0);
        answer = asked.Ask("vacuum", 0, 10, LastWord::Whole, 5);
        ASSERT_TRUE(answer.has_value());
    }
    ASSERT_EQ(answer->total, 3) << "the source copy is no hit of its own";
    std::vector<std::string> names;
    for (const SearchHit& hit : answer->hits)
        names.push_back(hit.name + " " + hit.title + " / " + BreadcrumbLine(hit.breadcrumb));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names,
        (std::vector<std::string> { "/maintenance.html 25. Routine Database Maintenance Tasks / Part III",
            "/routine-vacuuming.html 25.1. Routine Vacuuming / Part III \u203a 25. Routine Database Maintenance Tasks",
            "/vacuum-cleaner.html Vacuum cleaners / " }));
    EXPECT_EQ(damaged, std::vector<std::string> { "/ch003.xhtml" });
    // Page titles from the index, then the contents' entries.
    EXPECT_EQ(Listed(answer->suggestions), "Vacuum cleaners|Vacuum Basics#basics|");
}

} // namespace
