// The index a book keeps, against the one built in memory: the same answers, and a fall back to
// building when the kept one is of another version or damaged.

#include "search/StoredIndex.h"
#include "common/Exception.h"
#include "search/BookPageFeeder.h"
#include "search/SearchIndex.h"
#include "search/tests/SearchBook.h"

#include <gtest/gtest.h>

#include <functional>

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

} // namespace
