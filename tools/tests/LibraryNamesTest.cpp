#include "tools/library/LibraryNames.h"

#include <gtest/gtest.h>

TEST(LibraryNames, AFileNameBecomesAUrlSafeNameWithoutItsExtension)
{
    EXPECT_EQ(BaseLibraryName("/srv/ebooks/Python 3.12 Manual.zim"), "python-3.12-manual");
    EXPECT_EQ(BaseLibraryName("/srv/ebooks/guide.ebook"), "guide");
    EXPECT_EQ(BaseLibraryName("docs/site/"), "site") << "a folder, its final slash dropped";
    EXPECT_EQ(BaseLibraryName("Caf\xC3\xA9 & Bar (2nd).epub"), "caf-bar-2nd") << "runs of other bytes are one '-'";
    EXPECT_EQ(BaseLibraryName("under_score.CHM"), "under_score");
    // Names starting with '.' are the server's own (/.download, /.search); none is ever a book's.
    EXPECT_EQ(BaseLibraryName("/x/..hidden.epub"), "hidden");
    EXPECT_EQ(BaseLibraryName("/x/.epub"), "epub") << "a name that is all extension is kept";
    EXPECT_EQ(BaseLibraryName("/x/..."), "book");
    EXPECT_EQ(BaseLibraryName("/x/\xE6\x97\xA5\xE6\x9C\xAC.zim"), "book");
    EXPECT_EQ(BaseLibraryName("/x/-dash-.zim"), "dash");
}

TEST(LibraryNames, NamesAreUniqueAndTheSameForTheSameSetWhateverItsOrder)
{
    const std::vector<std::string> paths
        = { "/b/guide.zim", "/a/guide.epub", "/a/Guide.ebook", "/a/other.epub", "/c/guide" };
    const std::map<std::string, std::string> names = LibraryNames(paths);
    ASSERT_EQ(names.size(), 5U);
    // The path sorting first keeps the plain name; the others get a suffix of their path's hash.
    EXPECT_EQ(names.at("/a/Guide.ebook"), "guide");
    EXPECT_EQ(names.at("/a/other.epub"), "other");
    std::set<std::string> distinct;
    for (const auto& [path, name] : names) {
        distinct.insert(name);
        if (path != "/a/Guide.ebook" && path != "/a/other.epub") {
            EXPECT_TRUE(name.starts_with("guide-")) << name;
            EXPECT_EQ(name.size(), std::string("guide-").size() + 6) << name;
        }
    }
    EXPECT_EQ(distinct.size(), 5U);

    const std::vector<std::string> reversed(paths.rbegin(), paths.rend());
    EXPECT_EQ(LibraryNames(reversed), names);
    // Another library holding one of these paths names it as this one does when it collides alike.
    EXPECT_EQ(LibraryNames({ "/a/Guide.ebook", "/b/guide.zim" }).at("/b/guide.zim"), names.at("/b/guide.zim"));
}

TEST(LibraryNames, ASuffixedNameNeverTakesAnotherBooksPlainName)
{
    // Whatever suffix "a/x.epub" would get, a book whose plain name it is keeps that name.
    const std::map<std::string, std::string> first = LibraryNames({ "/a/x.epub", "/b/x.epub" });
    const std::string suffixed = first.at("/b/x.epub");
    const std::map<std::string, std::string> names
        = LibraryNames({ "/a/x.epub", "/b/x.epub", "/c/" + suffixed + ".epub" });
    EXPECT_EQ(names.at("/c/" + suffixed + ".epub"), suffixed);
    EXPECT_NE(names.at("/b/x.epub"), suffixed);
    EXPECT_NE(names.at("/b/x.epub"), "x");
}
