#include "book/BookWriter.h"
#include "tools/tests/PackFixture.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

fs::path WriteBook(const TempFolder& temp, const std::vector<std::pair<std::string, std::string>>& pages)
{
    TBookWriter writer;
    for (const auto& [name, content] : pages)
        writer.AddPage(name, content);
    TMemoryStream stream;
    writer.SaveToStream(stream);
    const fs::path path = temp / "book.ebook";
    WriteFile(path, stream.ToString());
    return path;
}

} // namespace

TEST(ExtractCommand, RefusesNamesThatLeaveTheFolder)
{
    TempFolder temp;
    const fs::path book = WriteBook(temp,
        { { "/ok/page.htm", "fine" }, { "/../escaped.htm", "x" }, { "//etc/abs.htm", "x" }, { "/a/../../up.htm", "x" },
            { "/win\\..\\..\\w.htm", "x" } });
    const fs::path out = temp / "out";
    const ToolRun run = Pack({ "extract", book.string(), "-d", out.string() });
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(ReadFile(out / "ok" / "page.htm"), "fine");
    EXPECT_FALSE(fs::exists(temp / "escaped.htm"));
    EXPECT_FALSE(fs::exists(temp / "up.htm"));
    for (const char* name : { "/../escaped.htm", "//etc/abs.htm", "/a/../../up.htm" })
        EXPECT_NE(run.err.find(std::string("Refusing page ") + name), std::string::npos) << name;
    std::size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(temp.Path()))
        files += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 2u) << "the book and the one safe page";
}

TEST(ExtractCommand, DoesNotWriteThroughASymbolicLinkOutOfTheFolder)
{
    TempFolder temp;
    const fs::path book = WriteBook(temp, { { "/link/evil.htm", "x" } });
    const fs::path out = temp / "out";
    fs::create_directories(out);
    fs::create_directories(temp / "elsewhere");
    fs::create_directory_symlink(temp / "elsewhere", out / "link");
    EXPECT_EQ(Pack({ "extract", book.string(), "-d", out.string() }).exitCode, 1);
    EXPECT_FALSE(fs::exists(temp / "elsewhere" / "evil.htm"));
}

TEST(ExtractCommand, NamedPagesOnlyAndUnknownNamesFail)
{
    TempFolder temp;
    const fs::path book = WriteBook(temp, { { "/a.htm", "A" }, { "/b.htm", "B" }, { "/c.htm", "C" } });
    const fs::path out = temp / "out";
    const ToolRun run = Pack({ "extract", book.string(), "-d", out.string(), "/C.HTM", "/nope.htm" });
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("No page /nope.htm"), std::string::npos);
    EXPECT_EQ(ReadFile(out / "c.htm"), "C") << "found without regard to case, written under its stored name";
    EXPECT_FALSE(fs::exists(out / "a.htm"));
}

TEST(ExtractCommand, OnlyTheReachableOfCaseDuplicatesIsWritten)
{
    TempFolder temp;
    const fs::path book = WriteBook(temp, { { "/Page.htm", "first" }, { "/page.htm", "second" } });
    const fs::path out = temp / "out";
    const ToolRun run = Pack({ "extract", book.string(), "-d", out.string() });
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadFile(out / "Page.htm"), "first");
    EXPECT_FALSE(fs::exists(out / "page.htm"));
    EXPECT_NE(run.err.find("warning: skipping page /page.htm"), std::string::npos);
}
