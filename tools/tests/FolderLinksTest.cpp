#include "common/Exception.h"
#include "sources/FolderBook.h"
#include "sources/FolderPreview.h"
#include "tools/tests/PackFixture.h"

#include <gtest/gtest.h>

#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

std::vector<std::string> Names(const FolderBook& book)
{
    std::vector<std::string> names;
    for (const SourceFile& file : book.files)
        names.push_back(file.pageName);
    return names;
}

} // namespace

TEST(FolderLinks, LinkedFoldersAreFollowedLoopsLeftOutAndWhatLiesOutsideIsNamed)
{
    TempFolder temp;
    const fs::path site = temp / "site";
    WriteFile(site / "index.html", "home");
    WriteFile(site / "shared/logo.png", "logo");
    WriteFile(temp / "fonts/icons.woff2", "font");
    WriteFile(temp / "secret.txt", "outside");
    fs::create_directory_symlink("shared", site / "images");
    fs::create_directory_symlink(temp / "fonts", site / "fonts");
    fs::create_directory_symlink("..", site / "shared/up");
    fs::create_symlink(temp / "secret.txt", site / "notes.txt");
    ASSERT_EQ(::mkfifo((site / "pipe").c_str(), 0600), 0);

    std::ostringstream out;
    std::ostringstream notes;
    FolderBook book = PlanFolderBook(site, CommandLine({}, {}), {}, out, notes);
    EXPECT_EQ(Names(book),
        (std::vector<std::string> {
            "/fonts/icons.woff2", "/images/logo.png", "/index.html", "/notes.txt", "/shared/logo.png" }));
    EXPECT_TRUE(Has(notes.str(), "fonts/ -> " + (temp / "fonts").string() + ": outside the folder, packed"))
        << notes.str();
    EXPECT_TRUE(Has(notes.str(), "notes.txt -> " + (temp / "secret.txt").string() + ": outside the folder, packed"));
    EXPECT_TRUE(Has(notes.str(), "skipping shared/up/: a link to a folder it lies in")) << notes.str();
    EXPECT_TRUE(Has(notes.str(), "skipping pipe: a FIFO")) << "never opened, so nothing waits on it";

    const CommandLine inside({ "--no-follow-outside" }, { { "--no-follow-outside", "", false } });
    std::ostringstream leftOut;
    book = PlanFolderBook(site, inside, {}, out, leftOut);
    EXPECT_EQ(Names(book), (std::vector<std::string> { "/images/logo.png", "/index.html", "/shared/logo.png" }));
    EXPECT_TRUE(Has(leftOut.str(),
        "notes.txt -> " + (temp / "secret.txt").string() + ": outside the folder, left out (--no-follow-outside)"))
        << leftOut.str();

    // Served to other machines, nothing outside the folder is answered even with --follow-outside,
    // not even a file that a link replaced after the plan was made.
    TFolderPages pages(
        site, CommandLine({ "--follow-outside" }, { { "--follow-outside", "", false } }), false, out, notes);
    EXPECT_TRUE(pages.Lookup("/notes.txt").bytes);
    pages.ServeOutsideFiles(false);
    EXPECT_FALSE(pages.Lookup("/notes.txt").bytes);
    EXPECT_FALSE(pages.Lookup("/fonts/icons.woff2").bytes);
    EXPECT_TRUE(pages.Lookup("/images/logo.png").bytes);
    fs::remove(site / "index.html");
    fs::create_symlink(temp / "secret.txt", site / "index.html");
    EXPECT_FALSE(pages.Lookup("/index.html").bytes);

    // A page replaced by a FIFO after the plan is refused, not waited on.
    fs::remove(site / "shared/logo.png");
    ASSERT_EQ(::mkfifo((site / "shared/logo.png").c_str(), 0600), 0);
    ASSERT_EQ(book.files[0].pageName, "/images/logo.png");
    EXPECT_THROW(book.PageBytes(0), Exception);
}

TEST(FolderLinks, AFileThatGrowsPastAPageWhileItIsPackedIsAnError)
{
    TempFolder temp;
    WriteFile(temp / "site/index.html", "home");
    WriteFile(temp / "site/big.bin", "small at first");
    std::ostringstream out;
    const FolderBook book = PlanFolderBook(temp / "site", CommandLine({}, {}), {}, out, out);
    // Sparse: no disk is used for the bytes.
    fs::resize_file(temp / "site/big.bin", 257ull << 20);
    try {
        book.PageBytes(0);
        FAIL() << "read a page larger than a book holds";
    } catch (const Exception& error) {
        EXPECT_TRUE(Has(error.Message(), "big.bin: it holds more than the 268435456 bytes a page may hold"))
            << error.Message();
    }
}

TEST(FolderLinks, CommandsThatReadAFolderRefuseLinksOutsideItUnlessToldWhileBuildPacksThem)
{
    TempFolder temp;
    const fs::path site = temp / "site";
    WriteFile(site / "index.html", "<p>home</p>");
    WriteFile(temp / "etc/hostname", "vm");
    fs::create_directory_symlink(temp / "etc", site / "s");
    fs::create_symlink(temp / "etc/hostname", site / "host.txt");

    ToolRun run = RunPackBinary("list " + site.string(), temp);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_FALSE(Has(run.out, "hostname")) << run.out;
    EXPECT_FALSE(Has(run.out, "host.txt")) << run.out;
    const std::string refused = "host.txt -> " + (temp / "etc/hostname").string() + ": outside the folder, not read";
    EXPECT_TRUE(Has(run.err, refused)) << run.err;
    EXPECT_EQ(run.err.find(refused), run.err.rfind(refused)) << "named once: " << run.err;

    run = RunPackBinary("build " + site.string() + " -o " + (temp / "out.ebook").string(), temp);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.out + run.err, "s/ -> " + (temp / "etc").string() + ": outside the folder, packed"));
    run = Pack({ "list", (temp / "out.ebook").string() });
    EXPECT_TRUE(Has(run.out, "/s/hostname")) << run.out;
    EXPECT_TRUE(Has(run.out, "/host.txt")) << run.out;
}
