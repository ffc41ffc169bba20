// Sources that keep no contents of their own (a ZIM as zimwriterfs makes one, a folder without
// "contents" in its book.json) place their search results by the contents a reader sees: those
// their home page lists.

#include "common/DisplayText.h"
#include "search/ContentsPlaces.h"
#include "search/StoredPlaces.h"
#include "search/tests/AskedWorker.h"
#include "sources/OpenSource.h"
#include "sources/SourceContents.h"
#include "sources/tests/SampleSources.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sqlite3.h>

namespace fs = std::filesystem;

namespace {

const std::string kHome = "<html><head><title>Home</title></head><body><ul>"
                          "<li>Part One<ul><li><a href=\"a.htm\">Alpha</a></li></ul></li>"
                          "<li><a href=\"b.htm\">Beta</a></li></ul></body></html>";
// A page whose only title is its file name, as converters leave them.
const std::string kAlpha = "<html><head><title>a.htm</title></head><body><p>The zebra grazes.</p></body></html>";
const std::string kBeta = "<html><head><title>Beta page</title></head><body><p>No stripes here.</p></body></html>";

// The complete answer the worker gives for the words.
SearchResults SearchThroughWorker(TBookSource& source, const std::string& typed)
{
    TAskedWorker asked(source);
    const std::optional<SearchResults> answer = asked.Ask(typed, 0, 10);
    EXPECT_TRUE(answer.has_value());
    return answer.value_or(SearchResults {});
}

} // namespace

TEST(SourcePlaces, AZimAndAFolderWithoutContentsOfTheirOwnPlaceHitsByTheirHomePage)
{
    TScratchFolder temp;
    const std::vector<TZimPage> pages { { "index.htm", "Home", kHome }, { "a.htm", "a.htm", kAlpha },
        { "b.htm", "Beta page", kBeta } };
    WriteZim(temp / "indexed.zim", pages, true);
    WriteZim(temp / "plain.zim", pages, false);
    fs::create_directories(temp / "folder");
    for (const TZimPage& page : pages)
        std::ofstream(temp / "folder" / page.path, std::ios::binary) << page.html;

    for (const std::string name : { "indexed.zim", "plain.zim", "folder" }) {
        SCOPED_TRACE(name);
        const std::unique_ptr<TBookSource> source = OpenBookSource((temp / name).string());
        const SearchResults results = SearchThroughWorker(*source, "zebra");
        ASSERT_EQ(results.hits.size(), 1u);
        EXPECT_EQ(results.hits[0].name, "/a.htm");
        EXPECT_EQ(results.hits[0].title, "Alpha");
        EXPECT_EQ(results.hits[0].breadcrumb, std::vector<std::string> { "Part One" });
        // What search placed the hit by is what the contents panel shows, read once.
        const TContents& contents = ContentsOfSource(*source);
        ASSERT_EQ(contents.size(), 2u);
        EXPECT_EQ(contents[0].title, "Part One");
        EXPECT_EQ(&ContentsOfSource(*source), &contents);
    }
}

// A breadcrumb of two million characters (an entry nested five thousand deep under titles of 400)
// and an entry title of a megabyte: what a hit carries stays a few KiB, from the contents and
// from a stored index that holds them whole.
TEST(SourcePlaces, BreadcrumbsAndEntryTitlesStaySmall)
{
    // Two million characters of breadcrumb, as 500 titles of 4,000: deep enough to be cut, shallow
    // enough for the sanitizer builds.
    constexpr int kDepth = 500;
    constexpr std::size_t kTitlePadding = 4000;
    TContents contents { { std::string(1u << 20, 'e'), "/deep.htm", "", {} } };
    for (int level = 0; level < kDepth; ++level)
        contents
            = { { "Level " + std::to_string(level) + std::string(kTitlePadding, '.'), "", "", std::move(contents) } };
    const TContentsPlaces places(contents);
    const auto expectSmall = [](const SearchHit& hit) {
        ASSERT_EQ(hit.breadcrumb.size(), kMostBreadcrumbTitles);
        EXPECT_TRUE(hit.breadcrumb.front().starts_with("Level " + std::to_string(kDepth - 1) + ".")) << "the top";
        EXPECT_EQ(hit.breadcrumb[kMostBreadcrumbTitles - 2], "\xE2\x80\xA6");
        EXPECT_TRUE(hit.breadcrumb.back().starts_with("Level 0")) << "the entry just above the page";
        EXPECT_LT(BreadcrumbLine(hit.breadcrumb).size(), 4096u);
        EXPECT_EQ(hit.title, std::string(kDisplayTextLength, 'e') + "\xE2\x80\xA6");
    };
    SearchHit hit { "/deep.htm", "deep.htm", 1, {}, {} };
    places.Place(hit);
    expectSmall(hit);

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    WriteStoredPlaces(db, { "/deep.htm" }, places);
    sqlite3_stmt* length = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT length(breadcrumb) + length(entry) FROM places", -1, &length, nullptr),
        SQLITE_OK);
    ASSERT_EQ(sqlite3_step(length), SQLITE_ROW);
    EXPECT_LT(sqlite3_column_int64(length, 0), 8192) << "the index keeps what a hit shows";
    sqlite3_finalize(length);
    // A stored index written elsewhere may hold the whole breadcrumb and title: read back as short.
    std::string crumbs = "[";
    for (int level = kDepth - 1; level >= 0; --level)
        crumbs += "\"Level " + std::to_string(level) + std::string(kTitlePadding, '.') + (level > 0 ? "\"," : "\"]");
    sqlite3_stmt* update = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "UPDATE places SET breadcrumb = ?1, entry = ?2", -1, &update, nullptr), SQLITE_OK);
    const std::string entry(1u << 20, 'e');
    sqlite3_bind_text(update, 1, crumbs.data(), int(crumbs.size()), SQLITE_STATIC);
    sqlite3_bind_text(update, 2, entry.data(), int(entry.size()), SQLITE_STATIC);
    EXPECT_EQ(sqlite3_step(update), SQLITE_DONE);
    sqlite3_finalize(update);
    {
        const std::unique_ptr<TStoredPlaces> stored = TStoredPlaces::Open(db);
        ASSERT_NE(stored, nullptr);
        SearchHit read { "/deep.htm", "deep.htm", 1, {}, {} };
        stored->Place(1, read);
        expectSmall(read);
    }
    sqlite3_close(db);
}

TEST(SourcePlaces, AnEpubsContentsPageAndNavigationAreNoResults)
{
    TScratchFolder temp;
    WriteSampleEpub(temp / "sample.epub");
    const std::unique_ptr<TBookSource> source = OpenBookSource((temp / "sample.epub").string());
    // Both list every title: before they were left out, they came among the first results for any
    // title's words.
    const SearchResults results = SearchThroughWorker(*source, "chapter");
    ASSERT_FALSE(results.hits.empty());
    for (const SearchHit& hit : results.hits) {
        EXPECT_NE(hit.name, "/contents.html");
        EXPECT_NE(hit.name, "/OEBPS/nav.xhtml");
    }
    EXPECT_EQ(SearchThroughWorker(*source, "vacuum").hits.size(), 1u);
}
