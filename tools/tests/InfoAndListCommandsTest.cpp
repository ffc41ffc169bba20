#include "book/BookWriter.h"
#include "tools/tests/PackFixture.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace fs = std::filesystem;

namespace {

// A book written by TBookWriter, optionally with one page's record damaged afterwards.
fs::path WriteBook(const TempFolder& temp, bool damageSecondPage = false, int32_t homePageIndex = -1)
{
    TBookWriter writer;
    writer.settings.title = "Inspect \xE9";
    writer.settings.display.sizeMode = WindowSizeMode::AdjustedToScreen;
    writer.settings.display.positionMode = WindowPositionMode::ScreenCenter;
    writer.settings.display.allowPrint = true;
    writer.settings.hasAboutDate = true;
    writer.settings.aboutDate = 36526.5;
    writer.settings.homePageIndex = homePageIndex;
    writer.AddPage("/index.htm", std::string(1000, 'a'));
    writer.AddPage("/broken.htm", std::string(2000, 'b'));
    writer.AddEmptyPage("/empty.htm");
    const fs::path path = temp / "inspect.ebook";
    WriteFile(path, BookBytes(writer, damageSecondPage ? std::optional(1) : std::nullopt));
    return path;
}

} // namespace

TEST(InfoCommand, ShowsHeaderAndDisplaySettingsWithNames)
{
    TempFolder temp;
    const ToolRun run = Pack({ "info", WriteBook(temp).string() });
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const char* expected : { "Title:              Inspect \xC3\xA9\n",
             "Size mode:          3 (Adjusted To Screen)\n", "Position mode:      2 (Screen Center)\n",
             "About date:         2000-01-01T12:00:00\n", "Home page:          /index.htm (index -1)\n",
             "Pages:              3\n", "Allow print:        yes\n", "Show menu:          no\n" })
        EXPECT_NE(run.out.find(expected), std::string::npos) << expected << "\n" << run.out;
}

TEST(InfoCommand, JsonCarriesValuesAndDisplayNames)
{
    TempFolder temp;
    const ToolRun run = Pack({ "info", WriteBook(temp, false, 7).string(), "--json" });
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto json = nlohmann::json::parse(run.out);
    EXPECT_EQ(json["title"], "Inspect \xC3\xA9");
    EXPECT_EQ(json["display"]["sizeMode"], 3);
    EXPECT_EQ(json["display"]["sizeModeName"], "Adjusted To Screen");
    EXPECT_EQ(json["display"]["positionModeName"], "Screen Center");
    EXPECT_EQ(json["homePageIndex"], 7);
    EXPECT_EQ(json["homePage"], "none: List index out of bounds (7)");
    EXPECT_EQ(json["pageCount"], 3);
}

TEST(ListCommand, SizesOfEveryEntryAndDamagedPages)
{
    TempFolder temp;
    const ToolRun run = Pack({ "list", "--json", WriteBook(temp, true).string() });
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto json = nlohmann::json::parse(run.out);
    ASSERT_EQ(json.size(), 3u);
    EXPECT_EQ(json[0]["name"], "/index.htm");
    EXPECT_EQ(json[0]["inflatedSize"], 1000);
    EXPECT_GT(json[0]["storedSize"].get<int>(), 8);
    EXPECT_TRUE(json[1]["inflatedSize"].is_null());
    EXPECT_EQ(json[2]["storedSize"], 0);
    EXPECT_EQ(json[2]["inflatedSize"], 0);
    const ToolRun text = Pack({ "list", WriteBook(temp, true).string() });
    EXPECT_NE(text.out.find("damaged  /broken.htm"), std::string::npos) << text.out;
}

TEST(VerifyCommand, NamesEachPageThatCannotBeExtracted)
{
    TempFolder temp;
    const ToolRun good = Pack({ "verify", WriteBook(temp).string() });
    EXPECT_EQ(good.exitCode, 0) << good.err;
    const ToolRun bad = Pack({ "verify", WriteBook(temp, true).string() });
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.err.find("Cannot extract page /broken.htm (index 1)"), std::string::npos) << bad.err;
    EXPECT_EQ(bad.err.find("/index.htm"), std::string::npos);
    const ToolRun noHome = Pack({ "verify", WriteBook(temp, false, 3).string() });
    EXPECT_EQ(noHome.exitCode, 1);
    EXPECT_NE(noHome.err.find("List index out of bounds (3)"), std::string::npos) << noHome.err;
}

// Of two pages whose names differ only in case the viewer serves the first; the second is still
// listed with its own size and checked by verify.
TEST(VerifyCommand, ReadsAPageThatANameAlikeShadows)
{
    TempFolder temp;
    TBookWriter writer;
    writer.AddPage("/Page.htm", "first");
    writer.AddPage("/page.htm", "the second, longer");
    writer.AddPage("/other.htm", "x");
    const fs::path path = temp / "alike.ebook";
    WriteFile(path, BookBytes(writer, 1));
    const ToolRun verify = Pack({ "verify", path.string() });
    EXPECT_EQ(verify.exitCode, 1);
    EXPECT_NE(verify.err.find("Cannot extract page /page.htm (index 1)"), std::string::npos) << verify.err;
    const ToolRun list = Pack({ "list", path.string() });
    EXPECT_NE(list.out.find("           5  /Page.htm\n"), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("     damaged  /page.htm\n"), std::string::npos) << list.out;
}

TEST(InspectCommands, UnusableFilesExit2WithTheFileName)
{
    TempFolder temp;
    const fs::path notABook = temp / "plain.txt";
    WriteFile(notABook, "just some text, no trailer pointing at a header");
    const fs::path missing = temp / "missing.ebook";
    for (const char* command : { "info", "list", "extract", "verify" }) {
        const ToolRun invalid = Pack({ command, notABook.string() });
        EXPECT_EQ(invalid.exitCode, 2) << command;
        EXPECT_TRUE(invalid.err.starts_with("Invalid eBook: " + notABook.string() + "\nIt is none of")) << command;
        const ToolRun absent = Pack({ command, missing.string() });
        EXPECT_EQ(absent.exitCode, 2) << command;
        EXPECT_EQ(absent.err.rfind("Cannot open file " + missing.string() + "\n", 0), 0u) << absent.err;
    }
}

TEST(InspectCommands, HelpVersionAndUsageErrors)
{
    const ToolRun help = Pack({ "--help" });
    EXPECT_EQ(help.exitCode, 0);
    for (const char* command : { "build", "info", "list", "extract", "verify" })
        EXPECT_NE(help.out.find(std::string("  ") + command), std::string::npos) << command;
    const ToolRun commandHelp = Pack({ "extract", "--help" });
    EXPECT_EQ(commandHelp.exitCode, 0);
    EXPECT_EQ(commandHelp.out.rfind("Usage: ebook-pack extract", 0), 0u);
    EXPECT_EQ(Pack({ "--version" }).out.rfind("ebook-pack ", 0), 0u);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>> {
             {}, { "frobnicate" }, { "info" }, { "info", "a", "b" }, { "list", "--color", "x" } }) {
        const ToolRun run = Pack(args);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_NE(run.err.find("Try 'ebook-pack"), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
}
