#include "viewer/AboutText.h"

#include <gtest/gtest.h>

TEST(AboutText, TheMemoAddsWhatTheFlagsSayAfterAnEmptyLine)
{
    const QString description = QStringLiteral("A guide.");
    const QString about = QStringLiteral("Written in winter");
    const QString date = QStringLiteral("12/7/26");
    EXPECT_EQ(ComposeAboutMemo(description, true, about, true, date),
        QStringLiteral("A guide.\r\n\r\nWritten in winter (12/7/26)"));
    EXPECT_EQ(
        ComposeAboutMemo(description, true, about, false, date), QStringLiteral("A guide.\r\n\r\nWritten in winter"));
    EXPECT_EQ(ComposeAboutMemo(description, false, about, true, date), QStringLiteral("A guide.\r\n\r\n12/7/26"));
    EXPECT_EQ(ComposeAboutMemo(description, false, about, false, date), description);
    EXPECT_EQ(ComposeAboutMemo(QString(), false, about, true, date), QStringLiteral("\r\n\r\n12/7/26"));
}

TEST(AboutText, TheDateIsTheLocalesShortDateWithoutTheTime)
{
    // 46363.75 is 7 December 2026, 18:00.
    EXPECT_EQ(AboutDateText(46363.75, QLocale(QLocale::English, QLocale::UnitedStates)), QStringLiteral("12/7/26"));
    EXPECT_EQ(AboutDateText(46363.0, QLocale(QLocale::German, QLocale::Germany)), QStringLiteral("07.12.26"));
    EXPECT_EQ(AboutDateText(0.0, QLocale(QLocale::English, QLocale::UnitedStates)), QStringLiteral("12/30/99"));
}
