#include "sources/FolderPreview.h"
#include "tools/tests/PackFixture.h"

#include <gtest/gtest.h>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string Bytes(const TPageLookup& lookup)
{
    return lookup.bytes ? *lookup.bytes : std::string("(none)");
}

} // namespace

TEST(FolderPreview, ServesTheFolderAsItsBookWouldAndMovesOnOnceForABurstOfChanges)
{
    TempFolder temp;
    const fs::path source = temp / "site";
    WriteFile(source / "index.html", "<html><body><p>one</p></BODY></html>");
    WriteFile(source / "\xD0\xBA\xD0\xBD\xD0\xB8\xD0\xB3\xD0\xB0.htm", "<p>book</p>");
    WriteFile(source / "style.css", "p{}");
    WriteFile(source / "notes.txt", "draft");
    WriteFile(source / ".hidden", "secret");
    WriteFile(source / "book.json", R"({"exclude": "*.txt"})");
    std::ostringstream out;
    std::ostringstream notes;
    TFolderPages pages(source, CommandLine({}, {}), true, out, notes);

    EXPECT_EQ(pages.HomePageName(), "/index.html");
    const std::string home = Bytes(pages.Lookup("/INDEX.HTML"));
    EXPECT_EQ(home, ReloadHook(1) + "<html><body><p>one</p></BODY></html>") << "the hook goes first";
    EXPECT_NE(Bytes(pages.Lookup(kPreviewReloadScript)).find("location.reload()"), std::string::npos);
    EXPECT_EQ(Bytes(pages.Lookup("/style.css")), "p{}") << "only HTML pages get the script";
    EXPECT_EQ(Bytes(pages.Lookup("/\xD0\x9A\xD0\x9D\xD0\x98\xD0\x93\xD0\x90.HTM")), ReloadHook(1) + "<p>book</p>");
    EXPECT_FALSE(pages.Lookup("/notes.txt").stored) << "book.json's exclude applies";
    EXPECT_FALSE(pages.Lookup("/.hidden").stored);
    EXPECT_EQ(Bytes(pages.Lookup(kPreviewGenerationPage)), "1");

    WriteFile(source / ".hidden", "changed");
    WriteFile(source / "out.ebook", "a book built into the folder");
    EXPECT_FALSE(pages.CheckForChanges(notes));
    EXPECT_FALSE(pages.CheckForChanges(notes)) << "hidden files and built books do not count";

    WriteFile(source / "index.html", "<p>two, longer</p>");
    EXPECT_FALSE(pages.CheckForChanges(notes)) << "a change is taken once it has settled";
    WriteFile(source / "new.html", "<p>new</p>");
    EXPECT_FALSE(pages.CheckForChanges(notes));
    EXPECT_TRUE(pages.CheckForChanges(notes));
    EXPECT_FALSE(pages.CheckForChanges(notes));
    EXPECT_EQ(pages.Generation(), 2u) << "one rebuild for the burst";
    EXPECT_EQ(Bytes(pages.Lookup(kPreviewGenerationPage)), "2");
    EXPECT_NE(Bytes(pages.Lookup("/new.html")).find("<p>new</p>"), std::string::npos);
    EXPECT_NE(Bytes(pages.Lookup("/index.html")).find("<p>two, longer</p>"), std::string::npos);
    EXPECT_TRUE(pages.Lookup("/out.ebook").stored) << "served like any other file, as the build would pack it";

    TFolderPages plain(source, CommandLine({}, {}), false, out, notes);
    EXPECT_EQ(Bytes(plain.Lookup("/index.html")), "<p>two, longer</p>") << "no script without --watch";
    EXPECT_FALSE(plain.Lookup(kPreviewGenerationPage).stored);
}

TEST(FolderPreview, TheReloadHookComesFirstWhateverTheMarkupAndTheNotFoundAnswerCarriesItToo)
{
    TempFolder temp;
    const fs::path source = temp / "site";
    WriteFile(source / "a.html", "\xEF\xBB\xBF<!-- by hand --> <!DOCTYPE html>\n<html><body><div");
    WriteFile(source / "b.html", "<p>text<!-- </body>");
    WriteFile(source / "book.json", R"({"home": "b.html"})");
    std::ostringstream out;
    TFolderPages pages(source, CommandLine({}, {}), true, out, out);
    EXPECT_EQ(Bytes(pages.Lookup("/a.html")),
        "\xEF\xBB\xBF<!-- by hand --> <!DOCTYPE html>" + ReloadHook(1) + "\n<html><body><div");
    EXPECT_EQ(Bytes(pages.Lookup("/b.html")), ReloadHook(1) + "<p>text<!-- </body>");
    EXPECT_EQ(pages.NotFoundMarkup(), ReloadHook(1)) << "a missing page reloads once it appears";

    // A generator empties the folder and fills it again: the page comes back under its name.
    fs::remove_all(source);
    fs::create_directories(source);
    auto moveOn = [&] { return pages.CheckForChanges(out) || pages.CheckForChanges(out); };
    ASSERT_TRUE(moveOn());
    EXPECT_EQ(pages.NotFoundMarkup(), ReloadHook(2));
    WriteFile(source / "b.html", "<p>again</p>");
    ASSERT_TRUE(moveOn());
    EXPECT_EQ(Bytes(pages.Lookup("/b.html")), ReloadHook(3) + "<p>again</p>");
}
