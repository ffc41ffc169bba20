#include "sources/OwnEntries.h"

#include <gtest/gtest.h>

TEST(OwnEntries, NamesUnderTheBooksOwnFoldersInAnyCaseAndNothingElse)
{
    for (const char* own :
        { "/.ebook-contents.json", "/.search-index/v2/000000", "/.Search-Index/v3/000001", "/.EBOOK-whatever" })
        EXPECT_TRUE(IsBookOwnEntry(own)) << own;
    for (const char* page :
        { "", "/", "/.ebook", "/ebook-contents.json", "/.ebookcontents.json", "/a/.ebook-contents.json",
            "/.search-index", "/.search-indexes/v2/000000", "/search-index/v2/000000", "/.hidden.htm" })
        EXPECT_FALSE(IsBookOwnEntry(page)) << page;
}
