#include "print/HeaderFooterText.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace {

THeaderFooterValues SheetTwoOfFive()
{
    THeaderFooterValues values;
    values.WindowTitle = QStringLiteral("Guide - Printing");
    values.Url = QStringLiteral("http://127.0.0.1:11532/print.htm");
    values.Date = QStringLiteral("3/14/25");
    values.PageNumber = 2;
    values.PageCount = 5;
    return values;
}

struct TCase {
    const char* Text;
    const char* Left;
    const char* Centre;
    const char* Right;
};

void ExpectParts(std::initializer_list<TCase> cases)
{
    for (const TCase& c : cases) {
        const THeaderFooterParts parts = ExpandHeaderFooter(QString::fromUtf8(c.Text), SheetTwoOfFive());
        EXPECT_EQ(parts.Left, QString::fromUtf8(c.Left)) << c.Text;
        EXPECT_EQ(parts.Centre, QString::fromUtf8(c.Centre)) << c.Text;
        EXPECT_EQ(parts.Right, QString::fromUtf8(c.Right)) << c.Text;
    }
}

} // namespace

TEST(HeaderFooterText, CodesExpandAndBreaksSplitTheLineIntoLeftCentreAndRight)
{
    ExpectParts({
        // The viewer's own header and footer.
        { "&w&bPage &p of &P", "Guide - Printing", "", "Page 2 of 5" },
        { "&u&b&d", "http://127.0.0.1:11532/print.htm", "", "3/14/25" },
        // No break, one, two; further breaks are dropped and their text joins the right part.
        { "Page &p", "Page 2", "", "" },
        { "&bPage &p", "", "", "Page 2" },
        { "a&bb&bc", "a", "b", "c" },
        { "&b&p&b", "", "2", "" },
        { "a&bb&bc&bd&be", "a", "b", "cde" },
        { "", "", "", "" },
        // "&&" is one ampersand; an unknown code and a trailing ampersand stay as written.
        { "R&&D &&b", "R&D &b", "", "" },
        { "&&&p", "&2", "", "" },
        { "R&D &x&b&T", "R&D &x", "", "&T" },
        { "Page &p &", "Page 2 &", "", "" },
        { "&", "&", "", "" },
    });
}

TEST(HeaderFooterText, ExpandedValuesAreNotExpandedAgain)
{
    THeaderFooterValues values = SheetTwoOfFive();
    values.WindowTitle = QStringLiteral("Tom &b Jerry &p");
    values.Url = QStringLiteral("http://host/a?x=1&p=2");
    EXPECT_EQ(ExpandHeaderFooter(QStringLiteral("&w&b&u"), values),
        (THeaderFooterParts { values.WindowTitle, QString(), values.Url }));
}
