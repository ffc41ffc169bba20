#include "viewer/contents/EntryTitles.h"

#include <gtest/gtest.h>

TEST(EntryTitles, FileNamesSlugsTheBooksTitleAndNothingGiveWayToTheContentsEntry)
{
    const QString book = QStringLiteral("Live Systems Manual");
    for (const char* says :
        { "", "  ", "ch003.xhtml", "the-basics", "chapter_02", "about-live-systems-2", "the-basics -", "metadata -",
            "- about-project", "Live Systems Manual", " Live  Systems Manual ", "Live Systems Manual -" })
        EXPECT_TRUE(PageTitleSaysNothing(QString::fromUtf8(says), book)) << says;
    // Real titles stand, a single word and titles with capitals or spaces among them.
    for (const char* title : { "The basics", "Installation", "overview", "The-Basics", "x86-64 notes", "- -",
             "Live Systems Manual, part 2" })
        EXPECT_FALSE(PageTitleSaysNothing(QString::fromUtf8(title), book)) << title;
    // Without a book title, no page title is taken for it.
    EXPECT_FALSE(PageTitleSaysNothing(QStringLiteral("Anything"), QString()));
}
