#include "PackFixture.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

// The installed binary: exit codes and messages as a shell sees them.
namespace {

ToolRun RunBinary(const std::string& arguments, const TempFolder& temp)
{
    const std::string out = (temp / "stdout").string();
    const std::string err = (temp / "stderr").string();
    const std::string command = std::string(EBOOK_PACK_PATH) + " " + arguments + " >" + out + " 2>" + err;
    const int status = std::system(command.c_str());
    ToolRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = ReadFile(out);
    run.err = ReadFile(err);
    return run;
}

} // namespace

TEST(Executable, ExitCodesAndMessages)
{
    TempFolder temp;
    WriteFile(temp / "src/index.htm", "<p>x</p>");
    WriteFile(temp / "junk.bin", "no book here");
    const std::string book = (temp / "b.ebook").string();
    EXPECT_EQ(RunBinary("build " + (temp / "src").string() + " -o " + book, temp).exitCode, 0);
    const ToolRun info = RunBinary("info " + book, temp);
    EXPECT_EQ(info.exitCode, 0);
    EXPECT_NE(info.out.find("Home page:          /index.htm"), std::string::npos);
    const ToolRun invalid = RunBinary("verify " + (temp / "junk.bin").string(), temp);
    EXPECT_EQ(invalid.exitCode, 2);
    EXPECT_EQ(invalid.err, "Invalid eBook: " + (temp / "junk.bin").string() + "\n");
    EXPECT_EQ(RunBinary("info " + (temp / "none").string(), temp).exitCode, 2);
    EXPECT_EQ(RunBinary("", temp).exitCode, 2);
    EXPECT_EQ(RunBinary("--version", temp).exitCode, 0);
}
