#include "tools/tests/PackFixture.h"

#include <gtest/gtest.h>

// The installed binary: exit codes and messages as a shell sees them.
TEST(Executable, ExitCodesAndMessages)
{
    TempFolder temp;
    WriteFile(temp / "src/index.htm", "<p>x</p>");
    WriteFile(temp / "junk.bin", "no book here");
    const std::string book = (temp / "b.ebook").string();
    EXPECT_EQ(RunPackBinary("build " + (temp / "src").string() + " -o " + book, temp).exitCode, 0);
    const ToolRun info = RunPackBinary("info " + book, temp);
    EXPECT_EQ(info.exitCode, 0);
    EXPECT_NE(info.out.find("Home page:          /index.htm"), std::string::npos);
    const ToolRun invalid = RunPackBinary("verify " + (temp / "junk.bin").string(), temp);
    EXPECT_EQ(invalid.exitCode, 2);
    EXPECT_EQ(invalid.err, "Invalid eBook: " + (temp / "junk.bin").string() + "\n");
    EXPECT_EQ(RunPackBinary("info " + (temp / "none").string(), temp).exitCode, 2);
    EXPECT_EQ(RunPackBinary("", temp).exitCode, 2);
    EXPECT_EQ(RunPackBinary("--version", temp).exitCode, 0);
}
