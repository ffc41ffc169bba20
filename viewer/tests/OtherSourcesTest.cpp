#include "sources/tests/SampleSources.h"
#include "ui_BookAboutBox.h"
#include "viewer/BookAboutBox.h"
#include "viewer/BookMainDesign.h"
#include "viewer/tests/ViewerFixture.h"

#include <QMenuBar>
#include <QPlainTextEdit>
#include <QToolBar>

#include <gtest/gtest.h>

#include <fstream>
#include <iostream>

namespace fs = std::filesystem;

namespace {

struct Opened {
    std::string kind;
    fs::path path;
};

// Clicks the link whose text is "Chapter": the home page's own link, or the EPUB contents page's.
bool FollowChapterLink(TViewerWindow& window)
{
    window.RunScript(QStringLiteral(
        "Array.from(document.querySelectorAll('a')).find(function(a){return a.textContent==='Chapter';}).click()"));
    return window.WaitForLoad();
}

} // namespace

TEST(ViewerOtherSources, EpubZimChmAndFolderOpenInPlaceWithTheDefaultWindow)
{
    TTestBook temp;
    std::vector<Opened> opened;
    WriteSampleEpub(temp.Folder() / "sample.epub");
    opened.push_back({ "EPUB", temp.Folder() / "sample.epub" });
    WriteSampleZim(temp.Folder() / "sample.zim");
    opened.push_back({ "ZIM", temp.Folder() / "sample.zim" });
    WriteSampleFolder(temp.Folder() / "folder");
    opened.push_back({ "folder", temp.Folder() / "folder" });
    fs::create_directories(temp.Folder() / "chm");
    if (const auto chm = CompileSampleChm(temp.Folder() / "chm"))
        opened.push_back({ "CHM", *chm });
    else
        std::cout << "chmcmd is not installed (fp-utils): the CHM is left out\n";

    for (const Opened& book : opened) {
        SCOPED_TRACE(book.kind);
        TViewerWindow window(book.path.string());
        ASSERT_NE(window.Form().ShownSource(), nullptr);
        EXPECT_EQ(window.Form().ShownSource()->KindName(), book.kind);
        EXPECT_TRUE(window.Form().BookProblem().empty()) << window.Form().BookProblem();
        window.ShowAndWaitForHome();
        const std::string title = window.Form().ShownSource()->Title();
        if (book.kind != "folder") {
            EXPECT_EQ(title, kSampleTitle);
        }
        EXPECT_TRUE(window.Caption().startsWith(QString::fromStdString(title))) << window.Caption().toStdString();
        // The default design: menu and toolbar shown, resizable.
        EXPECT_TRUE(window.Form().Designed().MainMenu->isVisible());
        EXPECT_TRUE(window.Form().Designed().ToolBar->isVisible());
        EXPECT_GT(window.Form().maximumWidth(), window.Form().minimumWidth());

        // An EPUB opens on its first page; its home page is the contents page written for it.
        if (book.kind == "EPUB") {
            EXPECT_TRUE(window.PageText().contains(QStringLiteral("Home"))) << window.PageText().toStdString();
            window.Form().Designed().ActionHome->trigger();
            ASSERT_TRUE(window.WaitForLoad());
        }
        ASSERT_TRUE(FollowChapterLink(window));
        EXPECT_TRUE(window.PageText().contains(QString::fromLatin1(kSampleWord))) << window.PageText().toStdString();
        EXPECT_TRUE(window.Caption().endsWith(QStringLiteral("Chapter"))) << window.Caption().toStdString();

        TBookAboutBoxForm about(nullptr, *window.Form().ShownSource());
        EXPECT_TRUE(about.windowTitle().contains(QString::fromStdString(title)));
        EXPECT_TRUE(about.Designed().DescriptionMemo->toPlainText().contains(QString::fromStdString(book.kind)))
            << about.Designed().DescriptionMemo->toPlainText().toStdString();
    }
}

TEST(ViewerOtherSources, AFileOfNoKindNamesTheKindsTheViewerOpens)
{
    TTestBook temp;
    const fs::path notes = temp.Folder() / "notes.epub";
    std::ofstream(notes) << "not a zip, whatever the name says";
    TViewerWindow window(notes.string());
    EXPECT_EQ(window.Form().ShownSource(), nullptr);
    EXPECT_NE(window.Form().BookProblem().find("EPUB, a CHM, a ZIM"), std::string::npos) << window.Form().BookProblem();
}
