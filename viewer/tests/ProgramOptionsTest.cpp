#include "viewer/app/ProgramOptions.h"

#include <gtest/gtest.h>

#include <sstream>

TEST(ProgramOptions, ExportTakesTheFileTheBookAndAllPagesAnywhereAfterIt)
{
    struct Case {
        std::vector<std::string> args;
        std::string pdf;
        std::string book;
        bool allPages;
    };
    for (const Case& c : { Case { { "--export-pdf", "out.pdf", "book.epub" }, "out.pdf", "book.epub", false },
             Case { { "--export-pdf", "out.pdf", "book.epub", "--all-pages" }, "out.pdf", "book.epub", true },
             Case { { "--export-pdf", "--all-pages", "out.pdf" }, "out.pdf", "", true },
             Case { { "--export-pdf", "out.pdf", "./--all-pages" }, "out.pdf", "./--all-pages", false } }) {
        std::ostringstream out;
        std::ostringstream err;
        const ProgramOptions options = ReadProgramOptions(c.args, out, err);
        ASSERT_TRUE(options.exportPdf) << err.str();
        EXPECT_EQ(*options.exportPdf, c.pdf);
        EXPECT_EQ(options.exportBook, c.book);
        EXPECT_EQ(options.allPages, c.allPages);
        EXPECT_FALSE(options.exitStatus);
    }
    for (const std::vector<std::string>& wrong : { std::vector<std::string> { "--export-pdf", "--all-pages" },
             std::vector<std::string> { "--export-pdf", "a.pdf", "b", "c" } }) {
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(ReadProgramOptions(wrong, out, err).exitStatus, 2);
        EXPECT_NE(err.str().find("--export-pdf needs"), std::string::npos);
    }
    std::ostringstream help;
    std::ostringstream err;
    ReadProgramOptions({ "--help" }, help, err);
    EXPECT_NE(help.str().find("--all-pages"), std::string::npos);
    EXPECT_NE(help.str().find("ZIM archive of more"), std::string::npos);
}

TEST(ProgramOptions, AReadingStyleNeedsItsFileAndTheBookMayFollow)
{
    std::ostringstream out;
    std::ostringstream err;
    const ProgramOptions withBook = ReadProgramOptions({ "--reading-style", "mine.css", "book.epub" }, out, err);
    EXPECT_FALSE(withBook.exitStatus);
    EXPECT_EQ(withBook.readingStyle, "mine.css");
    EXPECT_EQ(ReadProgramOptions({ "--reading-style" }, out, err).exitStatus, 2);
    EXPECT_NE(err.str().find("--reading-style needs"), std::string::npos);
    ReadProgramOptions({ "--help" }, out, err);
    EXPECT_NE(out.str().find("EBOOK_READING_STYLE"), std::string::npos);
}

TEST(ProgramOptions, FollowingLinksOutsideAFolderIsAskedForBeforeIt)
{
    std::ostringstream out;
    std::ostringstream err;
    const ProgramOptions following = ReadProgramOptions({ "--follow-outside", "site" }, out, err);
    EXPECT_FALSE(following.exitStatus);
    EXPECT_TRUE(following.followOutside);
    EXPECT_FALSE(ReadProgramOptions({ "site" }, out, err).followOutside);
    EXPECT_EQ(ReadProgramOptions({ "--follow-outside" }, out, err).exitStatus, 2);
    EXPECT_NE(err.str().find("--follow-outside needs the folder"), std::string::npos);
}
