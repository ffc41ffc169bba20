#include "common/BookText.h"
#include "common/DisplayText.h"
#include "tools/tests/BookFile.h"
#include "tools/tests/PackFixture.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

TEST(HostileTitles, TitlesAreCutAndNamesEscapedWhereverTheToolPrintsThem)
{
    TempFolder temp;
    const std::string longTitle(60000, 'T'); // a title is looked for in the first 64 KiB
    const std::string escapeName = "\x1b]0;owned\x07\x1b[31mred.html";
    WriteFile(temp / "src/index.html", "<title>" + longTitle + "</title><p>home</p>");
    WriteFile(temp / ("src/" + escapeName), "<p>red</p>");
    const std::string book = (temp / "out.ebook").string();

    const ToolRun build = Pack({ "build", (temp / "src").string(), "-o", book });
    ASSERT_EQ(build.exitCode, 0) << build.err;
    const std::string cut = std::string(kDisplayTextLength, 'T') + "\xE2\x80\xA6";
    EXPECT_NE(build.out.find("Title: " + cut + " (the <title> of /index.html"), std::string::npos);
    EXPECT_LT(build.out.size(), 4096u);
    EXPECT_EQ(BookTextToUtf8(BookFile(temp / "out.ebook").reader.title()), cut) << "the book keeps what can be shown";

    const std::string escaped = "\\x1b]0;owned\\x07\\x1b[31mred.html";
    for (const std::vector<std::string>& command :
        { std::vector<std::string> { "list", book }, std::vector<std::string> { "info", book },
            std::vector<std::string> { "extract", book, "-d", (temp / "x").string(), "/nothing\x1b[2J" } }) {
        const ToolRun run = Pack(command);
        EXPECT_EQ((run.out + run.err).find('\x1b'), std::string::npos) << command[0] << ": " << run.out << run.err;
        EXPECT_LT(run.out.size(), 4096u) << command[0];
    }
    EXPECT_NE(Pack({ "list", book }).out.find(escaped), std::string::npos);
    EXPECT_NE(Pack({ "extract", book, "-d", (temp / "x").string(), "/nothing\x1b[2J" }).err.find("/nothing\\x1b[2J"),
        std::string::npos);

    // The folder walk's notes and warnings name files the same way.
    WriteFile(temp / ("src/" + std::string("Red\x1b[0m.HTML")), "x");
    WriteFile(temp / ("src/" + std::string("red\x1b[0m.html")), "x");
    const ToolRun warned = Pack({ "build", (temp / "src").string(), "-o", book });
    ASSERT_EQ(warned.exitCode, 0) << warned.err;
    EXPECT_NE(warned.err.find("red\\x1b[0m.html"), std::string::npos) << warned.err;
    EXPECT_EQ((warned.out + warned.err).find('\x1b'), std::string::npos) << warned.err;
}
