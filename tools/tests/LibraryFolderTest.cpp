#include "tools/library/LibraryFolder.h"
#include "pageservice/PageService.h"
#include "tools/tests/LibraryFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Waits up to ten seconds for the library to hold the book of that name (or, with `present`
// false, for it to be gone); true when it came to pass.
bool WaitFor(const TLibrary& library, const std::string& name, bool present = true)
{
    for (int i = 0; i < 1000; ++i) {
        if ((library.Book(name) != nullptr) == present)
            return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

bool WaitForText(const TLockedText& err, const std::string& text)
{
    for (int i = 0; i < 1000; ++i) {
        if (err.str().find(text) != std::string::npos)
            return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

class LibraryFolderTest : public ::testing::Test {
protected:
    std::filesystem::path Books() const { return fixture_.scratch / "books"; }

    LibraryFixture fixture_;
    TLibrary library_ { TLibrarySettings {}, fixture_.err };
};

} // namespace

TEST_F(LibraryFolderTest, TheBooksInTheFolderAreServedAndFoldersHiddenFilesAndOthersPassedOver)
{
    std::filesystem::create_directories(Books() / "subfolder");
    WriteSampleFolder(Books() / "subfolder");
    WriteSampleEpub(Books() / ".hidden.epub");
    std::ofstream(Books() / "README.txt") << "not a book";
    const TLibraryFolder folder(library_, Books().string(), fixture_.err, 50ms);
    const auto shelf = library_.Shelf();
    ASSERT_EQ(shelf->size(), 3U) << fixture_.err.str();
    EXPECT_EQ((*shelf)[0]->name, "novel");
    EXPECT_EQ((*shelf)[1]->name, "user-guide");
    EXPECT_EQ((*shelf)[2]->name, "wiki");
    EXPECT_EQ(fixture_.err.str().find("README"), std::string::npos) << "a file of no book's kind is not named";
    EXPECT_THROW(TLibraryFolder(library_, (fixture_.scratch / "none").string(), fixture_.err), Exception);
}

TEST_F(LibraryFolderTest, BooksAddedReplacedAndRemovedWhileServingAppearAndGo)
{
    const TLibraryFolder folder(library_, Books().string(), fixture_.err, 50ms);
    ASSERT_TRUE(WaitFor(library_, "novel"));

    // Written in place, in two parts with a pause: not opened half-written.
    const std::string epub = ReadBytes(Books() / "novel.epub");
    {
        std::ofstream slow(Books() / "second.epub", std::ios::binary);
        slow.write(epub.data(), static_cast<std::streamsize>(epub.size() / 2));
        slow.flush();
        std::this_thread::sleep_for(300ms);
        EXPECT_EQ(library_.Book("second"), nullptr) << "a file still being written";
        slow.write(epub.data() + epub.size() / 2, static_cast<std::streamsize>(epub.size() - epub.size() / 2));
    }
    ASSERT_TRUE(WaitFor(library_, "second")) << fixture_.err.str();
    EXPECT_EQ(fixture_.err.str().find("Refused"), std::string::npos) << fixture_.err.str();

    // Replaced by a rename over it: the new file is served, a request holding the old book keeps it.
    const auto before = library_.Book("user-guide");
    WriteSampleZim(fixture_.scratch / "replacement");
    std::filesystem::rename(fixture_.scratch / "replacement", Books() / "User Guide.ebook");
    for (int i = 0; i < 1000 && library_.Book("user-guide") == before; ++i)
        std::this_thread::sleep_for(10ms);
    const auto after = library_.Book("user-guide");
    ASSERT_NE(after, before);
    EXPECT_EQ(after->source->KindName(), "ZIM");
    EXPECT_NE(after->version, before->version);
    EXPECT_EQ(*FindPage(*before->pages, "/sub/chapter.html")->bytes, SampleChapterPage());

    std::filesystem::remove(Books() / "wiki.zim");
    EXPECT_TRUE(WaitFor(library_, "wiki", false));
    // Said once the book is off the shelf: on a slow machine the line may come a moment later.
    EXPECT_TRUE(WaitForText(fixture_.err, "Removed " + (Books() / "wiki.zim").string())) << fixture_.err.str();
}

TEST_F(LibraryFolderTest, ADamagedBookIsRefusedWithItsReasonAndTriedAgainWhenItChanges)
{
    const TLibraryFolder folder(library_, Books().string(), fixture_.err, 50ms);
    const std::filesystem::path damaged = fixture_.scratch / "damaged.zim";
    std::string zim = ReadBytes(Books() / "wiki.zim");
    zim.resize(zim.size() / 3);
    std::ofstream(damaged, std::ios::binary) << zim;
    std::filesystem::rename(damaged, Books() / "broken.zim");
    ASSERT_TRUE(WaitForText(fixture_.err, "Refused " + (Books() / "broken.zim").string() + ": ")) << fixture_.err.str();
    EXPECT_EQ(library_.Book("broken"), nullptr);
    EXPECT_EQ(library_.Shelf()->size(), 3U);

    WriteSampleZim(fixture_.scratch / "mended.zim");
    std::filesystem::rename(fixture_.scratch / "mended.zim", Books() / "broken.zim");
    EXPECT_TRUE(WaitFor(library_, "broken")) << fixture_.err.str();
}
