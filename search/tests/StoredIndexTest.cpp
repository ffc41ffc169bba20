// The index a book keeps, against the one built in memory: the same answers, and a fall back to
// building when the kept one is of another version or damaged.

#include "search/StoredIndex.h"
#include "common/Exception.h"
#include "search/BookPageFeeder.h"
#include "search/BookTokenizer.h"
#include "search/QueryBound.h"
#include "search/SearchIndex.h"
#include "search/tests/AskedWorker.h"
#include "search/tests/SearchBook.h"
#include "sources/BookFileSource.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <thread>

namespace {

BookPages ManualPages()
{
    BookPages pages;
    for (int i = 0; i < 40; ++i)
        pages.push_back({ "/page" + std::to_string(i) + ".html",
            HtmlPage("Page " + std::to_string(i),
                "<div class=\"nav\"><a href=\"p.html\">Prev</a> <p>Home</p> <p>Next</p></div><h1>Section "
                    + std::to_string(i) + "</h1><p>Common words on every page, and word" + std::to_string(i)
                    + " alone. " + (i % 3 == 0 ? "A vacuum full of keys." : "Nothing else.") + "</p>") });
    pages.push_back({ "/vacuum.html", HtmlPage("VACUUM", "<p>VACUUM FULL rewrites; the key is kept.</p>") });
    pages.push_back({ "/notes.txt", "plain notes about vacuum" });
    return pages;
}

// The book's pages with the index of them kept as entries, the image changed by `change` first.
std::unique_ptr<SearchBook> BookWithIndex(const std::function<void(std::string&)>& change = {})
{
    const auto bare = MakeSearchBook(ManualPages());
    TSearchIndex index;
    IndexWholeBook(bare->reader, index);
    std::string image = index.StoredImage(LearnRepeatedText(bare->reader));
    if (change)
        change(image);
    BookPages pages = ManualPages();
    for (auto& entry : StoredIndexEntries(image))
        pages.push_back(std::move(entry));
    return MakeSearchBook(pages);
}

std::string Answer(TSearchIndex& index, std::string_view typed)
{
    const SearchResults results = index.Search(typed, 0, 10);
    std::string text = std::to_string(results.total) + ":";
    for (const SearchHit& hit : results.hits)
        text += " " + hit.name + " " + hit.title + " " + std::to_string(hit.score) + " "
            + MarkedSnippet(hit.snippet, "[", "]") + ";";
    return text;
}

TEST(StoredIndex, AnswersAsTheIndexBuiltInMemoryDoes)
{
    const auto book = BookWithIndex();
    const std::unique_ptr<TSearchIndex> stored = TSearchIndex::OpenStored(book->reader);
    ASSERT_NE(stored, nullptr);
    TSearchIndex memory;
    IndexWholeBook(book->reader, memory);
    for (const char* typed : { "vacuum full", "key", "common words", "\"every page\"", "word17", "prev", "notes" }) {
        EXPECT_EQ(Answer(*stored, typed), Answer(memory, typed)) << typed;
    }
    EXPECT_EQ(Answer(*stored, "vacuum").substr(0, 18), "16: /vacuum.html V");
    EXPECT_EQ(stored->Search("vacu", 0, 5, LastWord::Prefix).total, 16);
    // Stored without contents: the hits are left for the contents to place.
    EXPECT_FALSE(stored->Search("vacuum", 0, 5).placed);
}

TEST(StoredIndex, AnotherVersionIsNotReadAndADamagedOneFailsItsQueries)
{
    EXPECT_EQ(TSearchIndex::OpenStored(MakeSearchBook(ManualPages())->reader), nullptr);
    // The version is the database's user_version, at byte 60 of its header.
    const auto other = BookWithIndex([](std::string& image) { image[63] = 99; });
    EXPECT_EQ(TSearchIndex::OpenStored(other->reader), nullptr);

    const auto damaged = BookWithIndex();
    for (int entry = 0; entry < damaged->reader.Pages().Count(); ++entry) {
        if (IsStoredIndexEntry(damaged->reader.Pages()[entry]))
            DamagePage(*damaged, damaged->reader.Pages()[entry]);
    }
    EXPECT_THROW(
        {
            const auto stored = TSearchIndex::OpenStored(damaged->reader);
            for (const char* typed : { "vacuum", "common", "key", "word3", "page", "section" })
                stored->Search(typed, 0, 10);
        },
        Exception);
}

TEST(StoredIndex, AChunkCutShortBeforeTheLastIsDamage)
{
    // Chunks are read at their place in the file, so a short one would shift nothing and leave a
    // hole; but only the last may be short. Here the whole database is the first chunk, which a
    // second follows: every byte SQLite reads is there, and still the book's index is damaged.
    const auto bare = MakeSearchBook(ManualPages());
    TSearchIndex index;
    IndexWholeBook(bare->reader, index);
    auto entries = StoredIndexEntries(index.StoredImage(LearnRepeatedText(bare->reader)));
    ASSERT_EQ(entries.size(), 1u);
    ASSERT_LT(entries[0].second.size(), kStoredIndexChunkBytes);
    BookPages pages = ManualPages();
    pages.push_back(entries[0]);
    pages.push_back({ std::string(kStoredIndexFolder) + "000001", std::string(512, '\0') });
    const auto book = MakeSearchBook(pages);
    EXPECT_THROW(TSearchIndex::OpenStored(book->reader), Exception);
}

// The image with `sql` run on it, as an author with SQLite at hand could change it.
void Rewrite(std::string& image, const std::string& sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    auto* bytes = static_cast<unsigned char*>(sqlite3_malloc64(image.size()));
    std::memcpy(bytes, image.data(), image.size());
    const auto size = static_cast<sqlite3_int64>(image.size());
    ASSERT_EQ(sqlite3_deserialize(
                  db, "main", bytes, size, size, SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_RESIZEABLE),
        SQLITE_OK);
    RegisterBookTokenizer(db);
    char* message = nullptr;
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message), SQLITE_OK) << message << "\n" << sql;
    sqlite3_int64 length = 0;
    unsigned char* out = sqlite3_serialize(db, "main", &length, 0);
    image.assign(reinterpret_cast<const char*>(out), static_cast<std::size_t>(length));
    sqlite3_free(out);
    sqlite3_close(db);
}

// The statement that made the words' table, with `from` replaced by `to`.
std::string WordsTableWith(const std::string& from, const std::string& to)
{
    TSearchIndex empty;
    const std::string image = empty.StoredImage(TRepeatedText());
    sqlite3* db = nullptr;
    sqlite3_open(":memory:", &db);
    auto* bytes = static_cast<unsigned char*>(sqlite3_malloc64(image.size()));
    std::memcpy(bytes, image.data(), image.size());
    const auto size = static_cast<sqlite3_int64>(image.size());
    sqlite3_deserialize(db, "main", bytes, size, size, SQLITE_DESERIALIZE_FREEONCLOSE);
    std::string sql;
    for (const SchemaRow& row : SchemaOf(db)) {
        if (row[1] == "words")
            sql = row[3];
    }
    sqlite3_close(db);
    const std::size_t at = sql.find(from);
    EXPECT_NE(at, std::string::npos) << sql;
    return at == std::string::npos ? sql : sql.replace(at, from.size(), to);
}

TEST(StoredIndex, AnIndexHoldingAnythingButWhatTheWriterMakesIsRefusedBeforeAQueryRunsIt)
{
    // Each would run endlessly, or hand out hundreds of megabytes, for every query that reads it.
    const std::string endless = "WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r) ";
    const std::vector<std::pair<std::string, std::string>> changes {
        { "pages an endless view",
            "DROP TABLE pages; CREATE VIEW pages(id, name, title) AS " + endless + "SELECT n, 'x', 'y' FROM r;" },
        { "repeated a view that spins without rows",
            "DROP TABLE repeated; CREATE VIEW repeated(hash) AS " + endless + "SELECT n FROM r WHERE n < 0;" },
        { "words taking their text from a view of 300 MB columns",
            "DROP TABLE words; CREATE VIEW big(title) AS SELECT zeroblob(300000000);"
                + WordsTableWith("content = ''", "content = 'big'") + ";" },
        { "a trigger", "CREATE TRIGGER t AFTER INSERT ON pages BEGIN DELETE FROM repeated; END;" },
        { "a table of another shape",
            "DROP TABLE repeated; CREATE TABLE repeated(hash INTEGER PRIMARY KEY, x AS (zeroblob(300000000)));" },
        { "a table more", "CREATE TABLE more(x);" },
    };
    for (const auto& [what, sql] : changes) {
        SCOPED_TRACE(what);
        const auto book = BookWithIndex([&](std::string& image) { Rewrite(image, sql); });
        try {
            TSearchIndex::OpenStored(book->reader);
            ADD_FAILURE() << "opened";
        } catch (const Exception& error) {
            EXPECT_NE(error.Message().find("search index is damaged"), std::string::npos) << error.Message();
        }
    }

    // Of the shape written, but with a value longer than any the writer makes: the query that
    // reads it fails as damage instead of handing out the value.
    const auto huge = BookWithIndex([](std::string& image) {
        Rewrite(image, "UPDATE pages SET name = zeroblob(3000000), title = zeroblob(3000000);");
    });
    const std::unique_ptr<TSearchIndex> opened = TSearchIndex::OpenStored(huge->reader);
    ASSERT_NE(opened, nullptr);
    EXPECT_THROW(opened->Search("vacuum", 0, 10), Exception);
    EXPECT_THROW(opened->PageTitles(), Exception);

    // The viewer's panel, `search` and `serve` then build an index in memory: the worker answers.
    const auto book = BookWithIndex([&](std::string& image) { Rewrite(image, changes.front().second); });
    TBookFileSource source(book->reader);
    const std::optional<SearchResults> answer = TAskedWorker(source).Ask("vacuum", 0, 10);
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->total, 16);
}

TEST(QueryBound, AnEndlessStatementEndsOnceItRunsPastItsLimit)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    sqlite3_stmt* statement = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db,
                  "WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r) SELECT n FROM r WHERE n < 0", -1,
                  &statement, nullptr),
        SQLITE_OK);
    {
        TQueryBound bound(db, std::chrono::milliseconds(50));
        bound.Start();
        EXPECT_EQ(sqlite3_step(statement), SQLITE_INTERRUPT);
        EXPECT_TRUE(bound.Exceeded());
        sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
}

TEST(QueryBoundDeathTest, StoppingAllSearchesEndsARunningQueryAndEveryLaterOne)
{
    // In a process of its own: there is no way back from the stop.
    EXPECT_EXIT(
        {
            const auto book = BookWithIndex();
            const std::unique_ptr<TSearchIndex> stored = TSearchIndex::OpenStored(book->reader);
            TSearchIndex memory;
            IndexWholeBook(book->reader, memory);
            sqlite3* db = nullptr;
            sqlite3_open(":memory:", &db);
            TQueryBound bound(db, std::chrono::milliseconds::zero());
            std::thread stopper([] {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                StopAllSearches();
            });
            const int endless = sqlite3_exec(db,
                "WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r) SELECT count(*) FROM r", nullptr,
                nullptr, nullptr);
            stopper.join();
            int ended = 0;
            for (TSearchIndex* index : { stored.get(), &memory }) {
                try {
                    index->Search("vacuum", 0, 10);
                } catch (const Exception& error) {
                    ended += error.Message() == "Searching stopped" ? 1 : 0;
                }
            }
            std::exit(endless == SQLITE_INTERRUPT && ended == 2 ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

} // namespace
