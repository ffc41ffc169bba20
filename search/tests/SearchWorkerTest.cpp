// The worker builds on its own thread and answers queries over what it has indexed so far.

#include "search/SearchWorker.h"
#include "search/BookPageFeeder.h"
#include "search/tests/SearchBook.h"
#include "sources/BookFileSource.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

TEST(BookPageFeeder, HandsOutEveryEntryInOrderWhateverThreadsPrepareThem)
{
    BookPages pages { { "/picture.png", "not text" } };
    for (int i = 0; i < 100; ++i)
        pages.emplace_back(
            "/p" + std::to_string(i) + ".htm", HtmlPage("Page", "<p>word " + std::to_string(i) + "</p>"));
    pages.emplace_back("/P3.HTM", HtmlPage("Twin", "<p>never served</p>"));
    auto book = MakeSearchBook(pages);
    DamagePage(*book, "/p7.htm");
    const auto handedOut = [&](int threads) {
        std::vector<std::string> out;
        TBookPageFeeder feeder(book->reader, threads);
        while (auto prepared = feeder.Next()) {
            std::string line
                = std::to_string(prepared->entry) + " " + std::to_string(static_cast<int>(prepared->outcome));
            if (prepared->page)
                line += " " + prepared->page->name + " " + prepared->page->text.body + " "
                    + std::to_string(prepared->page->bodyTokens.ends.size());
            out.push_back(line);
        }
        return out;
    };
    const std::vector<std::string> alone = handedOut(0);
    ASSERT_EQ(alone.size(), 102u);
    int indexed = 0;
    for (std::size_t i = 0; i < alone.size(); ++i) {
        EXPECT_EQ(alone[i].substr(0, alone[i].find(' ')), std::to_string(i));
        indexed += alone[i].find(" word ") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(indexed, 99); // not the picture, the twin of /p3.htm or the damaged /p7.htm
    EXPECT_EQ(handedOut(1), alone);
    EXPECT_EQ(handedOut(3), alone);
}

TEST(SearchWorker, AnswersWhileBuildingThenAgainOverTheWholeBookAndReportsDamage)
{
    BookPages pages;
    constexpr int kPages = 400;
    for (int i = 0; i < kPages; ++i)
        pages.emplace_back(
            "/p" + std::to_string(i) + ".htm", HtmlPage("Page", "<p>needle " + std::to_string(i) + "</p>"));
    auto book = MakeSearchBook(pages);
    DamagePage(*book, "/p7.htm");

    std::mutex lock;
    std::condition_variable changed;
    std::vector<SearchResults> answers;
    std::vector<std::string> damaged;
    int lastDone = -1;
    {
        TBookFileSource source(book->reader);
        TSearchWorker worker(source);
        worker.OnResults = [&](uint64_t, const SearchResults& results) {
            std::lock_guard guard(lock);
            answers.push_back(results);
            changed.notify_all();
        };
        worker.OnDamaged = [&](const std::string& name) {
            std::lock_guard guard(lock);
            damaged.push_back(name);
        };
        worker.OnProgress = [&](int done, int total) {
            std::lock_guard guard(lock);
            EXPECT_EQ(total, kPages);
            EXPECT_GT(done, lastDone);
            lastDone = done;
        };
        worker.Start();
        worker.Search("needle", 0, 10);
        std::unique_lock guard(lock);
        ASSERT_TRUE(changed.wait_for(
            guard, std::chrono::seconds(60), [&] { return !answers.empty() && answers.back().complete; }));
    }
    ASSERT_FALSE(answers.empty());
    EXPECT_EQ(answers.back().total, kPages - 1);
    EXPECT_EQ(answers.back().hits.size(), 10u);
    // A first answer while building covered fewer pages, unless the build beat the query.
    if (answers.size() > 1) {
        EXPECT_FALSE(answers.front().complete);
        EXPECT_LT(answers.front().total, kPages - 1);
    }
    EXPECT_EQ(lastDone, kPages);
    EXPECT_EQ(damaged, std::vector<std::string> { "/p7.htm" });
}

TEST(SearchWorker, StopsPromptlyWhenDestroyedMidBuild)
{
    BookPages pages;
    for (int i = 0; i < 3000; ++i)
        pages.emplace_back("/p" + std::to_string(i) + ".htm", HtmlPage("Page", "<p>text</p>"));
    auto book = MakeSearchBook(pages);
    TBookFileSource source(book->reader);
    TSearchWorker worker(source);
    worker.Start();
    worker.Search("text", 0, 1);
}

} // namespace
