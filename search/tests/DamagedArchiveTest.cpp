// ZIM archives damaged where libzim and Xapian throw: every search path (the archive's own index,
// its title index, the worker the viewer's panel uses and the size check serve and `search` make)
// turns what the libraries raise into "damaged", leaves out what is damaged and searches the rest.

#include "common/Exception.h"
#include "search/SearchWorker.h"
#include "search/SourceSearch.h"
#include "search/tests/AskedWorker.h"
#include "sources/ZimSource.h"
#include "sources/tests/SampleSources.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

// Where the directory entry of the content entry `path` starts: the header's path list (at byte
// 32) points to each; an entry holds its namespace at byte 3 and its path from byte 16.
std::size_t DirentOf(const std::string& zim, const std::string& path)
{
    const uint64_t entries = Number(zim, 24, 4);
    const auto pathList = static_cast<std::size_t>(Number(zim, 32, 8));
    for (uint64_t i = 0; i < entries; ++i) {
        const auto at = static_cast<std::size_t>(Number(zim, pathList + 8 * i, 8));
        if (zim[at + 3] == 'C' && zim.compare(at + 16, path.size() + 1, path + '\0') == 0)
            return at;
    }
    ADD_FAILURE() << "no entry " << path;
    return 0;
}

// The answers the viewer's search panel gets for `typed`: its results' page names, and why it
// cannot search, when it cannot.
struct PanelAnswer {
    std::vector<std::string> pages;
    std::string unsearchable;
};

PanelAnswer AskWorker(TBookSource& source, const std::string& typed)
{
    std::optional<SearchResults> answer;
    PanelAnswer seen;
    {
        TAskedWorker asked(source);
        // Written on the worker's thread, read once it has joined.
        asked.Worker().OnUnsearchable = [&](const std::string& why) { seen.unsearchable = why; };
        answer = asked.Ask(typed, 0, 10, LastWord::Whole, 5);
        EXPECT_TRUE(answer.has_value());
    }
    if (answer) {
        for (const SearchHit& hit : answer->hits)
            seen.pages.push_back(hit.name);
    }
    return seen;
}

TEST(DamagedArchive, AFullTextIndexWithAByteChangedIsSearchedOrNamedDamagedNeverAborts)
{
    TScratchFolder temp;
    WriteSampleZim(temp / "sample.zim");
    const std::string zim = ReadBytes(temp / "sample.zim");
    const auto [start, size] = ZimFullTextIndexPlace(temp / "sample.zim");
    ASSERT_GT(size, 0u);
    int damaged = 0;
    int searched = 0;
    // About 150 copies, each with one byte of the Xapian database changed.
    const uint64_t step = std::max<uint64_t>(size / 150, 1);
    for (uint64_t at = start; at < start + size; at += step) {
        std::string copy = zim;
        copy[static_cast<std::size_t>(at)] = static_cast<char>(copy[static_cast<std::size_t>(at)] ^ 0x5a);
        std::ofstream(temp / "damaged.zim", std::ios::binary | std::ios::trunc) << copy;
        std::unique_ptr<TZimSource> source;
        try {
            source = std::make_unique<TZimSource>((temp / "damaged.zim").string());
        } catch (const Exception&) {
            continue;
        }
        // Anything but an Exception escaping fails the test (gtest names it); an abort ends it.
        try {
            if (ArchiveSearchOf(*source) != nullptr)
                ArchiveResults(*source, kSampleWord, 0, 10);
            ++searched;
        } catch (const Exception& error) {
            ++damaged;
            EXPECT_NE(error.Message().find("is damaged"), std::string::npos) << error.Message();
            EXPECT_EQ(ArchiveSearchOf(*source), nullptr) << "a failed index is not asked again";
        }
        TTitleSuggestions titles;
        titles.Finish();
        SuggestTitles(*source, titles, "Chap", 5);
    }
    EXPECT_GT(searched, 0);
    EXPECT_GT(damaged, 0) << "no copy damaged the index where a search reads it";
}

TEST(DamagedArchive, TheViewersPanelFallsBackToAnIndexOfItsOwnWhenTheArchivesFails)
{
    TScratchFolder temp;
    WriteSampleZim(temp / "sample.zim");
    const std::string zim = ReadBytes(temp / "sample.zim");
    const auto [start, size] = ZimFullTextIndexPlace(temp / "sample.zim");
    // Every byte of the database's first blocks zeroed: it opens, and fails every search.
    std::string copy = zim;
    for (uint64_t at = start + size / 4; at < start + size; ++at)
        copy[static_cast<std::size_t>(at)] = 0;
    std::ofstream(temp / "damaged.zim", std::ios::binary | std::ios::trunc) << copy;
    TZimSource source((temp / "damaged.zim").string());
    const PanelAnswer answer = AskWorker(source, kSampleWord);
    EXPECT_EQ(answer.pages, std::vector<std::string> { "/chapter.html" }) << answer.unsearchable;
}

TEST(DamagedArchive, AnEntryWhoseBlobIsOutOfRangeCostsThatEntryAlone)
{
    TScratchFolder temp;
    WriteSampleZim(temp / "plain.zim", { .fullTextIndex = false, .compressed = false, .clusterPerEntry = true });
    std::string zim = ReadBytes(temp / "plain.zim");
    // The home page's entry names blob 5 of a cluster that holds one.
    SetNumber(zim, DirentOf(zim, "index.html") + 12, 4, 5);
    std::ofstream(temp / "damaged.zim", std::ios::binary | std::ios::trunc) << zim;
    TZimSource source((temp / "damaged.zim").string());
    EXPECT_EQ(WhyNotSearchable(source), "");
    EXPECT_GT(source.ContentSize(), 0u);
    EXPECT_EQ(source.Lookup("/index.html").bytes, nullptr);
    EXPECT_TRUE(source.Lookup("/chapter.html").bytes);
    const PanelAnswer answer = AskWorker(source, kSampleWord);
    EXPECT_EQ(answer.unsearchable, "");
    EXPECT_EQ(answer.pages, std::vector<std::string> { "/chapter.html" });
}

TEST(DamagedArchive, AnEntryThatDeclaresAGibibyteLeavesTheArchiveSearchable)
{
    TScratchFolder temp;
    WriteSampleZim(temp / "plain.zim", { .fullTextIndex = false, .compressed = false, .clusterPerEntry = true });
    std::string zim = ReadBytes(temp / "plain.zim");
    // The home page's cluster is uncompressed (its first byte 1), then its blobs' offsets: the
    // second, where the home page ends, is moved 1 GiB on.
    const auto cluster = static_cast<std::size_t>(Number(zim, DirentOf(zim, "index.html") + 8, 4));
    const auto clusterAt
        = static_cast<std::size_t>(Number(zim, static_cast<std::size_t>(Number(zim, 48, 8)) + 8 * cluster, 8));
    ASSERT_EQ(zim[clusterAt], 1);
    SetNumber(zim, clusterAt + 5, 4, Number(zim, clusterAt + 1, 4) + (1ULL << 30));
    std::ofstream(temp / "lying.zim", std::ios::binary | std::ios::trunc) << zim;
    TZimSource source((temp / "lying.zim").string());
    EXPECT_EQ(WhyNotSearchable(source), "");
    EXPECT_LT(source.ContentSize(), 1ULL << 20);
    EXPECT_EQ(source.Lookup("/index.html").bytes, nullptr);
    const PanelAnswer answer = AskWorker(source, kSampleWord);
    EXPECT_EQ(answer.unsearchable, "");
    EXPECT_EQ(answer.pages, std::vector<std::string> { "/chapter.html" });
}

} // namespace
