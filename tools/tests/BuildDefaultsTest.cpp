#include "tools/tests/BookFile.h"
#include "tools/tests/PackFixture.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// "Руководство пользователя" and "/книга.html"
const std::string kRussianTitle
    = "\xD0\xA0\xD1\x83\xD0\xBA\xD0\xBE\xD0\xB2\xD0\xBE\xD0\xB4\xD1\x81\xD1\x82\xD0\xB2\xD0\xBE "
      "\xD0\xBF\xD0\xBE\xD0\xBB\xD1\x8C\xD0\xB7\xD0\xBE\xD0\xB2\xD0\xB0\xD1\x82\xD0\xB5\xD0\xBB\xD1\x8F";
const std::string kBookPage = "\xD0\xBA\xD0\xBD\xD0\xB8\xD0\xB3\xD0\xB0.html";
const std::string kBookPageUpper = "\xD0\x9A\xD0\x9D\xD0\x98\xD0\x93\xD0\x90.HTML";

struct Folder {
    TempFolder temp;
    fs::path source = temp / "My Manual";
    fs::path book = temp / "out.ebook";

    ToolRun Build(std::vector<std::string> extra = {}) const
    {
        std::vector<std::string> args = { "build", source.string(), "-o", book.string() };
        args.insert(args.end(), extra.begin(), extra.end());
        return Pack(args);
    }
};

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(BuildDefaults, TextInAnyScriptIsStoredAndShownRight)
{
    Folder folder;
    WriteFile(folder.source / kBookPage, "<title>x</title>");
    const ToolRun run = folder.Build({ "--title", kRussianTitle, "--description", "caf\xC3\xA9" });
    ASSERT_EQ(run.exitCode, 0) << run.err;
    BookFile book(folder.book);
    ASSERT_TRUE(book.valid);
    EXPECT_EQ(book.reader.title(), kRussianTitle) << "stored as UTF-8";
    EXPECT_EQ(book.reader.description(), "caf\xE9") << "stored as Windows-1252, as older readers expect";
    EXPECT_EQ(book.reader.Pages()[0], "/" + kBookPage);
    EXPECT_EQ(book.Page("/" + kBookPageUpper), "<title>x</title>") << "letter case folds in Cyrillic";
    EXPECT_TRUE(Has(run.out, "Home page: /" + kBookPage + " (the only HTML page")) << run.out;

    const ToolRun info = Pack({ "info", folder.book.string() });
    EXPECT_TRUE(Has(info.out, kRussianTitle)) << info.out;
    EXPECT_TRUE(Has(info.out, "caf\xC3\xA9")) << info.out;
    const ToolRun list = Pack({ "list", folder.book.string(), kBookPageUpper });
    EXPECT_EQ(list.exitCode, 0) << list.err;
    EXPECT_TRUE(Has(list.out, "/" + kBookPage)) << "the leading / may be left out";
    EXPECT_EQ(Pack({ "list", folder.book.string(), "nothing.htm" }).exitCode, 1);
    const ToolRun extract = Pack({ "extract", folder.book.string(), "-d", (folder.temp / "x").string(), kBookPage });
    EXPECT_EQ(extract.exitCode, 0) << extract.err;
    EXPECT_EQ(ReadFile(folder.temp / "x" / kBookPage), "<title>x</title>");
}

TEST(BuildDefaults, TitleAndHomePageAreChosenAndSaid)
{
    Folder folder;
    WriteFile(folder.source / "guide.html", "<html><head><TITLE lang=en>\n Tom &amp; Jerry&#x2019;s   Guide </title>");
    WriteFile(folder.source / "style" / "more.html", "<p>more</p>");
    ToolRun run = folder.Build();
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.out, "Home page: /guide.html (the only HTML page at the top of the folder")) << run.out;
    EXPECT_TRUE(Has(run.out, "Title: Tom & Jerry\xE2\x80\x99s Guide (the <title> of /guide.html")) << run.out;
    EXPECT_EQ(BookFile(folder.book).reader.GetHomePageName(), "/guide.html");

    WriteFile(folder.source / "guide.html", "<p>no title</p>");
    run = folder.Build();
    EXPECT_TRUE(Has(run.out, "Title: My Manual (the folder's name")) << run.out;
    run = folder.Build({ "--title", "" });
    EXPECT_FALSE(Has(run.out, "Title:")) << "an empty title set on purpose stays";

    WriteFile(folder.source / "other.htm", "<p>other</p>");
    run = folder.Build();
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(Has(run.err, "No home page")) << run.err;
    EXPECT_TRUE(Has(run.err, "/guide.html, /other.htm")) << run.err;
    EXPECT_TRUE(Has(run.err, "--home")) << run.err;
    WriteFile(folder.source / "default.htm", "<p>start</p>");
    run = folder.Build();
    EXPECT_TRUE(Has(run.out, "Home page: /default.htm (the folder's default.htm")) << run.out;
}

TEST(BuildDefaults, LeavesOutLitterHiddenAndExcludedFilesAndNamesWhatItSkips)
{
    Folder folder;
    WriteFile(folder.source / "index.html", "home");
    WriteFile(folder.source / ".git" / "config", "x");
    WriteFile(folder.source / ".DS_Store", "x");
    WriteFile(folder.source / "index.html~", "x");
    WriteFile(folder.source / "sub" / ".page.swp", "x");
    WriteFile(folder.source / "sub" / "Thumbs.db", "x");
    WriteFile(folder.source / "sub" / "kept.css", "x");
    WriteFile(folder.source / "drafts" / "a.html", "x");
    WriteFile(folder.source / "notes.txt", "x");
    WriteFile(folder.source / "book.json", R"({"exclude": "drafts"})");
    fs::create_symlink("missing.html", folder.source / "dangling.html");
    ASSERT_EQ(::mkfifo((folder.source / "pipe").c_str(), 0600), 0);

    ToolRun run = folder.Build({ "--exclude", "*.txt", "--no-index" });
    ASSERT_EQ(run.exitCode, 0) << run.err;
    BookFile book(folder.book);
    ASSERT_EQ(book.reader.Pages().Count(), 2);
    EXPECT_EQ(book.reader.Pages()[0], "/index.html");
    EXPECT_EQ(book.reader.Pages()[1], "/sub/kept.css");
    for (const char* note : { "leaving out .git/ (hidden)", "leaving out .DS_Store (hidden)",
             "leaving out index.html~ (matches *~)", "leaving out sub/.page.swp", "leaving out sub/Thumbs.db",
             "leaving out drafts/ (excluded by drafts)", "leaving out notes.txt (excluded by *.txt)",
             "skipping dangling.html: a link to nothing (missing.html)", "skipping pipe: a FIFO" })
        EXPECT_TRUE(Has(run.err, note)) << note << "\n" << run.err;

    run = folder.Build({ "--include-hidden" });
    ASSERT_EQ(run.exitCode, 0) << run.err;
    BookFile hidden(folder.book);
    EXPECT_GE(hidden.reader.IndexOfPage("/.git/config"), 0);
    EXPECT_EQ(hidden.reader.IndexOfPage("/index.html~"), -1) << "editor backups stay out";
}

TEST(BuildDefaults, RefusalsNameTheProblemAndItsLimit)
{
    Folder folder;
    WriteFile(folder.source / "index.html", "home");
    ToolRun run = folder.Build({ "--window-width", "-5" });
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(Has(run.err, "--window-width: \"windowWidth\" must be 1 to 16384 pixels, not -5")) << run.err;

    WriteFile(folder.temp / "some.ebook", "not a program");
    run = folder.Build({ "--stub", (folder.temp / "some.ebook").string() });
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(Has(run.err, "some.ebook as the stub: it is not an executable program")) << run.err;

    run = folder.Build({ "--threads", "0" });
    EXPECT_TRUE(Has(run.err, "--threads must be a number from 1 to 256")) << run.err;

    {
        std::ofstream(folder.source / "huge.bin").put('x');
        fs::resize_file(folder.source / "huge.bin", 300 * 1024 * 1024); // sparse: costs no disk
        run = folder.Build();
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(Has(run.err, "huge.bin: it holds 314572800 bytes, and a book page holds at most 268435456"))
            << run.err;
        fs::remove(folder.source / "huge.bin");
    }

    if (::geteuid() != 0) { // permissions do not stop root
        fs::create_directories(folder.source / "locked");
        fs::permissions(folder.source / "locked", fs::perms::none);
        run = folder.Build();
        fs::permissions(folder.source / "locked", fs::perms::owner_all);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(Has(run.err, "Cannot read folder " + (folder.source / "locked").string())) << run.err;
    }
    EXPECT_FALSE(fs::exists(folder.book)) << "nothing half-written";
}

TEST(BuildDefaults, SameBytesWhateverTheThreadsAndTheOrderFilesWereMadeIn)
{
    Folder first;
    Folder second;
    std::vector<std::pair<std::string, std::string>> files;
    for (int i = 0; i < 60; ++i) {
        std::string text;
        for (int k = 0; k < 400 + i * 37; ++k)
            text += std::to_string(k * i % 97) + (k % 11 == 0 ? "\n" : " ");
        files.push_back({ "d" + std::to_string(i % 5) + "/p" + std::to_string(i) + ".html", text });
    }
    files.push_back({ "index.html", "<title>T</title>" });
    for (const auto& [name, text] : files)
        WriteFile(first.source / name, text);
    for (auto it = files.rbegin(); it != files.rend(); ++it)
        WriteFile(second.source / it->first, it->second);
    // The book is named after the folder; both folders have the same name.
    ASSERT_EQ(first.Build({ "--threads", "1" }).exitCode, 0);
    ASSERT_EQ(second.Build({ "--threads", "4" }).exitCode, 0);
    EXPECT_EQ(ReadFile(first.book), ReadFile(second.book));
    const ToolRun verify = Pack({ "verify", second.book.string() });
    EXPECT_EQ(verify.exitCode, 0) << verify.err;
}
