// Sources that keep no contents of their own (a ZIM as zimwriterfs makes one, a folder without
// "contents" in its book.json) place their search results by the contents a reader sees: those
// their home page lists.

#include "search/tests/AskedWorker.h"
#include "sources/OpenSource.h"
#include "sources/SourceContents.h"
#include "sources/tests/SampleSources.h"

#include <gtest/gtest.h>

#include <fstream>

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
