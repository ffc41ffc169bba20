#include "book/ViewerMark.h"
#include "tools/tests/BookFile.h"
#include "tools/tests/PackFixture.h"

#include <csignal>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A small source folder: a home page, an image in a sub-folder, a page whose name holds a space.
struct SourceFolder {
    TempFolder temp;
    fs::path source = temp / "src";
    fs::path book = temp / "out.ebook";

    SourceFolder()
    {
        WriteFile(source / "index.htm", "<html>home</html>");
        WriteFile(source / "img" / "logo.png", std::string("\x89PNG\r\n\x1A\n\0\0", 10));
        WriteFile(source / "about us.htm", "<p>about</p>");
    }

    ToolRun Build(std::vector<std::string> extra = {})
    {
        std::vector<std::string> args = { "build", source.string(), "-o", book.string() };
        args.insert(args.end(), extra.begin(), extra.end());
        return Pack(args);
    }
};

} // namespace

TEST(BuildCommand, PacksEveryFileSortedWithDefaults)
{
    SourceFolder folder;
    const ToolRun run = folder.Build({ "--no-index" });
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    BookFile book(folder.book);
    ASSERT_TRUE(book.valid);
    ASSERT_EQ(book.reader.Pages().Count(), 3);
    EXPECT_EQ(book.reader.Pages()[0], "/about us.htm");
    EXPECT_EQ(book.reader.Pages()[1], "/img/logo.png");
    EXPECT_EQ(book.reader.Pages()[2], "/index.htm");
    EXPECT_EQ(book.reader.GetHomePageName(), "/index.htm") << "index.htm is the home page by default";
    EXPECT_EQ(book.Page("/img/logo.png"), std::string("\x89PNG\r\n\x1A\n\0\0", 10));
    EXPECT_EQ(book.reader.DisplaySettings().positionMode, WindowPositionMode::ScreenCenter);
    EXPECT_TRUE(book.reader.DisplaySettings().showToolbar);
}

TEST(BuildCommand, BookJsonSettingsAreAppliedAndNotPacked)
{
    SourceFolder folder;
    WriteFile(folder.source / "book.json", R"({
        "title": "Caf\u00e9 Guide", "description": "Desc", "aboutText": "By us", "aboutDate": "2024-03-01",
        "home": "/about us.htm", "sizeMode": "Normal", "positionMode": "Custom",
        "windowLeft": 5, "windowTop": 6, "windowWidth": 700, "windowHeight": 500,
        "showMenu": false, "showToolbar": true, "resizable": false, "allowPrint": false, "allowContextMenu": true})");
    ASSERT_EQ(folder.Build().exitCode, 0);
    BookFile book(folder.book);
    ASSERT_TRUE(book.valid);
    EXPECT_EQ(book.reader.Pages().IndexOf("/book.json"), -1);
    EXPECT_EQ(book.reader.title(), "Caf\xE9 Guide") << "stored in Windows-1252";
    EXPECT_EQ(book.reader.aboutText(), "By us");
    EXPECT_TRUE(book.reader.hasAboutDate());
    EXPECT_EQ(book.reader.aboutDate(), 45352.0);
    EXPECT_EQ(book.reader.GetHomePageName(), "/about us.htm");
    DisplaySettings expected;
    expected.windowLeft = 5;
    expected.windowTop = 6;
    expected.windowWidth = 700;
    expected.windowHeight = 500;
    expected.showToolbar = true;
    expected.allowContextMenu = true;
    EXPECT_EQ(book.reader.DisplaySettings(), expected);
}

TEST(BuildCommand, OptionsOverrideBookJson)
{
    SourceFolder folder;
    WriteFile(folder.source / "book.json", R"({"title": "From JSON", "sizeMode": "Maximized", "showMenu": true})");
    const ToolRun run = folder.Build({ "--title", "From options", "--size-mode", "Full Screen", "--no-show-menu",
        "--position-mode", "1", "--home", "img/logo.png" });
    ASSERT_EQ(run.exitCode, 0) << run.err;
    BookFile book(folder.book);
    EXPECT_EQ(book.reader.title(), "From options");
    EXPECT_EQ(book.reader.DisplaySettings().sizeMode, WindowSizeMode::FullScreen);
    EXPECT_EQ(book.reader.DisplaySettings().positionMode, WindowPositionMode::DesktopCenter);
    EXPECT_FALSE(book.reader.DisplaySettings().showMenu);
    EXPECT_EQ(book.reader.GetHomePageName(), "/img/logo.png");
}

TEST(BuildCommand, BadSettingsNameTheFileAndExit2)
{
    struct Case {
        std::string json;
        std::string expected;
    };
    for (const Case& c :
        { Case { "{\"title\": ", "not valid JSON" }, Case { R"({"sizeMode": "Huge"})", "unknown \"sizeMode\" 'Huge'" },
            Case { R"({"positionMode": 300})", "unknown \"positionMode\"" },
            Case { R"({"titel": "x"})", "unknown setting \"titel\"" },
            Case { R"({"windowWidth": 1.5})", "\"windowWidth\" must be a 32-bit integer" },
            Case { R"({"showMenu": "yes"})", "\"showMenu\" must be true or false" },
            Case { R"({"aboutDate": "2024-02-30"})", "\"aboutDate\" must be a date" },
            Case { R"({"windowWidth": -5})", "\"windowWidth\" must be 1 to 16384 pixels, not -5" },
            Case { R"({"windowLeft": 99999})", "\"windowLeft\" must be -16384 to 16384 pixels" },
            Case { R"({"exclude": [3]})", "\"exclude\" patterns must be non-empty texts" },
            Case { "[1, 2]", "one JSON object" },
            Case { R"({"contents": {"title": "A"}})", "\"contents\" must be a list of entries" },
            Case { R"({"contents": ["A"]})", "entries must be objects with a \"title\" text" },
            Case { R"({"contents": [{"page": "a.html"}]})", "entries must be objects with a \"title\" text" },
            Case { R"({"contents": [{"title": ["A"], "page": "a.html"}]})", "must be objects with a \"title\" text" },
            Case {
                R"({"contents": [{"title": "A", "page": 5}]})", "entry \"A\": unknown key or wrong type of \"page\"" },
            Case { R"({"contents": [{"zz": 1, "title": "A", "page": "a.html", "ab": {"x": []}}]})",
                "entry \"A\": unknown key or wrong type of \"ab\"" },
            Case { R"({"contents": [{"title": "A", "page": "a.html"}, {"title": "B"}]})",
                "entry \"B\" names no page and holds no entries" },
            Case { R"({"contents": [{"title": "A", "children": "b.html"}]})", "must be a list of entries" },
            Case { [] {
                      std::string deep = R"({"contents": [)";
                      for (int i = 0; i < 65; ++i)
                          deep += R"({"title": "L", "children": [)";
                      deep += R"({"title": "x", "page": "a.html"})";
                      for (int i = 0; i < 65; ++i)
                          deep += "]}";
                      return deep + "]}";
                  }(),
                "nests deeper than 64 levels" },
            Case { R"({"contents": [{"title": "A", "page": "a.html"}], "titel": 1})", "unknown setting \"titel\"" } }) {
        SourceFolder folder;
        WriteFile(folder.source / "book.json", c.json);
        const ToolRun run = folder.Build();
        EXPECT_EQ(run.exitCode, 2) << c.json;
        EXPECT_NE(run.err.find((folder.source / "book.json").string()), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(c.expected), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(folder.book));
    }
}

TEST(BuildCommand, BadOptionsAndMissingInputsExit2)
{
    SourceFolder folder;
    EXPECT_EQ(folder.Build({ "--size-mode", "Tiny" }).exitCode, 2);
    EXPECT_EQ(folder.Build({ "--window-width", "wide" }).exitCode, 2);
    const ToolRun home = folder.Build({ "--home", "/missing.htm" });
    EXPECT_EQ(home.exitCode, 2);
    EXPECT_NE(home.err.find("Home page /missing.htm is not among the pages"), std::string::npos);
    const ToolRun noOutput = Pack({ "build", folder.source.string() });
    EXPECT_EQ(noOutput.exitCode, 2);
    EXPECT_NE(noOutput.err.find("missing -o OUT"), std::string::npos);
    EXPECT_NE(noOutput.err.find("Try 'ebook-pack build --help'"), std::string::npos);
    EXPECT_EQ(Pack({ "build", (folder.temp / "nowhere").string(), "-o", folder.book.string() }).exitCode, 2);
}

TEST(BuildCommand, WarnsAboutNamesABrowserCannotRequest)
{
    SourceFolder folder;
    WriteFile(folder.source / "100%.htm", "p");
    WriteFile(folder.source / "what?.htm", "q");
    WriteFile(folder.source / "a#b.htm", "h");
    WriteFile(folder.source / "caf\xC3\xA9.htm", "c");
    WriteFile(folder.source / "INDEX.HTM", "dup");
    const ToolRun run = folder.Build();
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const char* name : { "/100%.htm", "/what?.htm", "/a#b.htm" })
        EXPECT_NE(run.err.find(std::string("warning: page ") + name + " cannot be requested"), std::string::npos)
            << name;
    EXPECT_EQ(run.err.find("caf"), std::string::npos) << "browsers request accented names, and the lookup finds them";
    EXPECT_NE(run.err.find("/index.htm differs from /INDEX.HTM only in letter case"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("about us"), std::string::npos) << "spaces are fine: the viewer decodes %20";
    BookFile book(folder.book);
    EXPECT_EQ(book.Page("/caf\xE9.htm"), "c");
}

TEST(BuildCommand, StubIsWrittenFirstAndTheOutputIsExecutable)
{
    SourceFolder folder;
    const fs::path stub = folder.temp / "viewer";
    std::string program = "\x7F"
                          "ELF"
        + ViewerMarkToFind();
    program += std::string(200000 - program.size(), '\x7F');
    WriteFile(stub, program);
    ASSERT_EQ(folder.Build({ "--stub", stub.string() }).exitCode, 0);
    EXPECT_EQ(ReadFile(folder.book).substr(0, 200000), program);
    BookFile book(folder.book);
    ASSERT_TRUE(book.valid);
    EXPECT_EQ(book.reader.headerOffset(), 200000);
    EXPECT_EQ(book.Page("/index.htm"), "<html>home</html>");
    struct stat info { };
    ASSERT_EQ(::stat(folder.book.c_str(), &info), 0);
    EXPECT_NE(info.st_mode & S_IXUSR, 0u);

    // A viewer that already carries a book gets the new one in its place, not after it.
    const fs::path again = folder.temp / "again";
    ASSERT_EQ(
        Pack({ "build", folder.source.string(), "-o", again.string(), "--stub", folder.book.string() }).exitCode, 0);
    EXPECT_EQ(ReadFile(again), ReadFile(folder.book));
    // Any other program is refused.
    const ToolRun run = Pack({ "build", folder.source.string(), "-o", again.string(), "--stub", "/bin/ls" });
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(
        run.err.find("/bin/ls as the stub: it is not an executable program built as the viewer"), std::string::npos)
        << run.err;
}

TEST(BuildCommand, FailureLeavesTheOldOutputAndNoTemporaryFile)
{
    SourceFolder folder;
    WriteFile(folder.book, "previous book");
    const ToolRun run = folder.Build({ "--stub", (folder.temp / "no-such-stub").string() });
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("Cannot open file"), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(folder.book), "previous book");
    for (const auto& entry : fs::directory_iterator(folder.temp.Path()))
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
}

TEST(BuildCommand, OutputInsideTheSourceFolderIsNotPackedIntoItself)
{
    SourceFolder folder;
    const fs::path inside = folder.source / "book.ebook";
    ASSERT_EQ(Pack({ "build", folder.source.string(), "-o", inside.string(), "--no-index" }).exitCode, 0);
    ASSERT_EQ(Pack({ "build", folder.source.string(), "-o", inside.string(), "--no-index" }).exitCode, 0);
    BookFile book(inside);
    EXPECT_EQ(book.reader.Pages().Count(), 3);
}

TEST(BuildCommand, AnInterruptRemovesTheTemporaryBookAndEndsWithTheSignalsStatus)
{
    SourceFolder folder;
    std::string noise(32 << 20, '\0');
    std::mt19937 random(7);
    for (char& byte : noise)
        byte = static_cast<char>(random());
    WriteFile(folder.source / "noise.bin", noise);
    for (const auto& [signal, status] : { std::pair { SIGINT, 130 }, { SIGTERM, 143 }, { SIGHUP, 129 } }) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::execl(EBOOK_PACK_PATH, "ebook-pack", "build", folder.source.c_str(), "-o", folder.book.c_str(), "--level",
                "12", "--threads", "1", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Signalled once the temporary book is being written.
        bool writing = false;
        for (int look = 0; look < 6000 && !writing; ++look) {
            for (const auto& entry : fs::directory_iterator(folder.temp.Path()))
                writing = writing
                    || (entry.path().filename().string().starts_with(".out.ebook.tmp-") && entry.file_size() > 0);
            if (!writing)
                ::usleep(1000);
        }
        EXPECT_TRUE(writing);
        ::kill(child, signal);
        int result = 0;
        ASSERT_EQ(::waitpid(child, &result, 0), child);
        EXPECT_TRUE(WIFEXITED(result));
        EXPECT_EQ(WEXITSTATUS(result), status) << "signal " << signal;
        for (const auto& entry : fs::directory_iterator(folder.temp.Path()))
            EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
        EXPECT_FALSE(fs::exists(folder.book));
    }
}

TEST(BuildCommand, KeepsASearchIndexThatSearchReadsAndADamagedOneIsNamedAndBuiltAgain)
{
    SourceFolder folder;
    WriteFile(folder.source / "vacuum.htm", "<title>VACUUM</title><p>VACUUM FULL rewrites the table</p>");
    WriteFile(folder.source / "maintenance.htm", "<title>Maintenance</title><p>run vacuum full, vacuum full</p>");
    ASSERT_EQ(folder.Build().exitCode, 0);
    const ToolRun stored = Pack({ "search", folder.book.string(), "vacuum", "full" });
    EXPECT_EQ(stored.exitCode, 0) << stored.err;
    EXPECT_EQ(stored.err, "");
    EXPECT_TRUE(stored.out.starts_with("2 pages match\n\n/vacuum.htm  VACUUM")) << stored.out;

    const ToolRun bare
        = Pack({ "build", folder.source.string(), "-o", (folder.temp / "bare.ebook").string(), "--no-index" });
    ASSERT_EQ(bare.exitCode, 0);
    const ToolRun built = Pack({ "search", (folder.temp / "bare.ebook").string(), "vacuum", "full" });
    EXPECT_EQ(built.out, stored.out);
    EXPECT_LT(fs::file_size(folder.temp / "bare.ebook"), fs::file_size(folder.book));

    // Every chunk of the index broken (its checksum): named, and the search is made without it.
    std::string bytes = ReadFile(folder.book);
    {
        BookFile book(folder.book);
        for (int entry = 0; entry < book.reader.Pages().Count(); ++entry) {
            if (book.reader.Pages()[entry].starts_with("/.search-index/v2/"))
                bytes[static_cast<std::size_t>(
                    book.reader.PageOffset(entry) + 4 + book.reader.StoredLengthAt(entry) - 1)]
                    ^= 0x5A;
        }
    }
    WriteFile(folder.book, bytes);
    const ToolRun damaged = Pack({ "search", folder.book.string(), "vacuum", "full" });
    EXPECT_EQ(damaged.exitCode, 0);
    EXPECT_TRUE(damaged.err.starts_with("The book's search index is damaged")
        && damaged.err.ends_with("; searching without it\n"))
        << damaged.err;
    EXPECT_EQ(damaged.out, stored.out);
}
