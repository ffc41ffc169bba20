#include "common/Exception.h"
#include "sources/FolderNotifications.h"
#include "sources/FolderPreview.h"
#include "sources/OpenSource.h"
#include "sources/RegularFile.h"
#include "sources/tests/SampleSources.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <sys/inotify.h>
#include <thread>

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

// The user's watches run out after the first folder.
int g_watchesAdded = 0;
int WatchesRunOutAfterOne(int fd, const char* path, uint32_t mask)
{
    if (g_watchesAdded++ == 0)
        return ::inotify_add_watch(fd, path, mask);
    errno = ENOSPC;
    return -1;
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
    // As the viewer opens it when told to follow them (ebook --follow-outside).
    const auto viewedFollowing = OpenBookSource(site.string(), ESourceKind::Folder, FolderReading { true });
    ASSERT_TRUE(viewedFollowing->Lookup("/s/hostname").bytes);
    EXPECT_EQ(*viewedFollowing->Lookup("/s/hostname").bytes, "secret host");

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

TEST(FolderBounds, WhenTheWatchesRunOutThatIsSaidOnceTheyAreGivenBackAndChangesAreStillSeenByLooking)
{
    TScratchFolder temp;
    const fs::path site = temp / "site";
    Write(site / "index.html", "<p>home</p>");
    Write(site / "a/one.html", "<p>one</p>");
    Write(site / "b/two.html", "<p>two</p>");

    std::ostringstream said;
    g_watchesAdded = 0;
    {
        TFolderNotifications notifications(site, said, &WatchesRunOutAfterOne);
        EXPECT_FALSE(notifications.Watching());
        notifications.WatchFolders();
        EXPECT_FALSE(notifications.Wait(std::chrono::milliseconds(0))) << "the watch taken was given back";
    }
    EXPECT_EQ(g_watchesAdded, 2) << "no watch asked for once they ran out, not even by a later look";
    EXPECT_EQ(Count(said.str(), "inotify watches ran out"), 1u) << said.str();
    EXPECT_NE(said.str().find("sysctl fs.inotify.max_user_watches="), std::string::npos) << said.str();
    if (InotifyWatchLimit() > 0) {
        EXPECT_NE(said.str().find("fs.inotify.max_user_watches is " + std::to_string(InotifyWatchLimit())),
            std::string::npos);
    }

    std::ostringstream out;
    std::ostringstream notes;
    g_watchesAdded = 0;
    TFolderPages pages(site, CommandLine({}, {}), false, out, out);
    {
        TFolderWatch watch(pages, notes, &WatchesRunOutAfterOne);
        Write(site / "b/new.html", "<p>new</p>");
        // Looks every 2 seconds; a change is taken once two looks agree on it.
        for (int i = 0; i < 600 && pages.Generation() == 1; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(pages.Generation(), 2u) << notes.str();
    EXPECT_TRUE(pages.Lookup("/b/new.html").bytes);
    EXPECT_EQ(Count(notes.str(), "inotify watches ran out"), 1u) << notes.str();
}
