#include "common/Exception.h"
#include "sources/FolderPreview.h"
#include "sources/OpenSource.h"
#include "sources/RegularFile.h"
#include "sources/tests/SampleSources.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

void Write(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::size_t Count(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

} // namespace

TEST(FolderBounds, AFolderOpenedToReadNeverReadsThroughALinkOutsideIt)
{
    TScratchFolder temp;
    const fs::path site = temp / "site";
    Write(site / "index.html", "<p>home</p>");
    Write(site / "shared/logo.png", "logo");
    Write(temp / "etc/hostname", "secret host");
    Write(temp / "etc/shadow", "secret shadow");
    fs::create_directory_symlink(temp / "etc", site / "s");
    fs::create_symlink(temp / "etc/hostname", site / "host.txt");
    fs::create_directory_symlink("shared", site / "images"); // inside: followed

    // As the viewer opens a folder.
    const auto viewed = OpenBookSource(site.string());
    EXPECT_FALSE(viewed->Lookup("/s/hostname").bytes);
    EXPECT_FALSE(viewed->Lookup("/host.txt").bytes);
    ASSERT_TRUE(viewed->Lookup("/images/logo.png").bytes);
    EXPECT_EQ(*viewed->Lookup("/images/logo.png").bytes, "logo");

    std::ostringstream out;
    std::ostringstream notes;
    TFolderPages served(site, CommandLine({}, {}), false, out, notes);
    EXPECT_FALSE(served.Lookup("/s/hostname").stored);
    EXPECT_FALSE(served.Lookup("/host.txt").stored);
    EXPECT_EQ(Count(notes.str(),
                  "host.txt -> " + (temp / "etc/hostname").string()
                      + ": outside the folder, not read (--follow-outside reads it)"),
        1u)
        << notes.str();
    EXPECT_EQ(Count(notes.str(), "s/ -> " + (temp / "etc").string() + ": outside the folder, not read"), 1u);

    const CommandLine follow({ "--follow-outside" }, { { "--follow-outside", "", false } });
    std::ostringstream followed;
    TFolderPages following(site, follow, false, out, followed);
    ASSERT_TRUE(following.Lookup("/s/hostname").bytes);
    EXPECT_EQ(*following.Lookup("/s/hostname").bytes, "secret host");
    EXPECT_TRUE(following.Lookup("/host.txt").bytes);
    EXPECT_NE(followed.str().find("host.txt -> " + (temp / "etc/hostname").string() + ": outside the folder, read"),
        std::string::npos)
        << followed.str();

    // A build still packs what the links lead to, and names them.
    std::ostringstream built;
    const FolderBook book = PlanFolderBook(site, CommandLine({}, {}), {}, out, built);
    EXPECT_EQ(book.files.size(), 6u) << "host.txt, images/logo.png, index.html, s/hostname, s/shadow, shared/logo.png";
    EXPECT_NE(built.str().find("s/ -> " + (temp / "etc").string() + ": outside the folder, packed"), std::string::npos);
}

TEST(FolderBounds, ALinkPutInAFilesOrFoldersPlaceAfterTheFolderWasOpenedIsRefusedAsItIsRead)
{
    TScratchFolder temp;
    const fs::path site = temp / "site";
    Write(site / "index.html", "<p>home</p>");
    Write(site / "sub/page.html", "<p>page</p>");
    Write(temp / "etc/page.html", "secret");
    Write(temp / "etc/shadow", "secret shadow");
    std::ostringstream out;
    TFolderPages pages(site, CommandLine({}, {}), false, out, out);
    ASSERT_TRUE(pages.Lookup("/sub/page.html").bytes);

    fs::remove(site / "index.html");
    fs::create_symlink(temp / "etc/shadow", site / "index.html");
    fs::remove_all(site / "sub");
    fs::create_directory_symlink(temp / "etc", site / "sub");
    EXPECT_FALSE(pages.Lookup("/index.html").bytes);
    EXPECT_FALSE(pages.Lookup("/sub/page.html").bytes);

    // The check is made on the opened file, whatever its path said: a link inside is read, a path
    // that climbs out by ".." or a link is refused.
    fs::create_directory_symlink(".", site / "here");
    const fs::path real = fs::canonical(site);
    Write(site / "inner/a.txt", "inner");
    EXPECT_EQ(ReadRegularFileWithin(site / "here/here/inner/a.txt", real, 100), "inner");
    EXPECT_THROW(ReadRegularFileWithin(site / "here/sub/page.html", real, 100), Exception);
    EXPECT_THROW(ReadRegularFileWithin(site / "inner/../../etc/shadow", real, 100), Exception);
}
