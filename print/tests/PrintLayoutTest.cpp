#include "print/HeaderFooterBand.h"
#include "print/PrintedPages.h"

#include <gtest/gtest.h>

namespace {

constexpr double kGap = 10;

// The rooms granted never exceed the texts, and placed in a band of that width they neither
// overlap each other (a gap apart) nor leave the band.
void ExpectFits(double band, const TBandWidths& natural)
{
    const TBandWidths w = AllotBandWidths(band, kGap, natural);
    EXPECT_LE(w.Left, natural.Left);
    EXPECT_LE(w.Centre, natural.Centre);
    EXPECT_LE(w.Right, natural.Right);
    EXPECT_GE(w.Left, 0);
    EXPECT_GE(w.Right, 0);
    const double centreLeft = band / 2 - w.Centre / 2;
    const double centreRight = band / 2 + w.Centre / 2;
    if (w.Centre > 0) {
        if (w.Left > 0) {
            EXPECT_LE(w.Left + kGap, centreLeft + 1e-9);
        }
        if (w.Right > 0) {
            EXPECT_LE(centreRight + kGap, band - w.Right + 1e-9);
        }
    } else if (w.Left > 0 && w.Right > 0) {
        EXPECT_LE(w.Left + kGap + w.Right, band + 1e-9);
    }
    EXPECT_LE(w.Left, band);
    EXPECT_LE(w.Right, band);
}

QList<int> Order(int pageCount, const char* ranges, int copies, bool collate, bool lastFirst)
{
    TPrintedPagesRequest request;
    request.Ranges = QPageRanges::fromString(QString::fromUtf8(ranges));
    request.Copies = copies;
    request.Collate = collate;
    request.LastPageFirst = lastFirst;
    return PrintedPageOrder(pageCount, request);
}

} // namespace

TEST(PrintLayout, ShortTextsKeepTheirWidthAndLongOnesAreCut)
{
    // Title and page number fit: both whole.
    auto w = AllotBandWidths(500, kGap, { 200, 0, 80 });
    EXPECT_EQ(w.Left, 200);
    EXPECT_EQ(w.Right, 80);
    // A long address next to a date: the date stays whole, the address gets the rest.
    w = AllotBandWidths(500, kGap, { 2000, 0, 60 });
    EXPECT_EQ(w.Right, 60);
    EXPECT_EQ(w.Left, 500 - kGap - 60);
    // Two long texts share the band.
    w = AllotBandWidths(500, kGap, { 2000, 0, 3000 });
    EXPECT_EQ(w.Left, 245);
    EXPECT_EQ(w.Right, 245);
    // One text alone may use the whole band.
    EXPECT_EQ(AllotBandWidths(500, kGap, { 0, 0, 700 }).Right, 500);
    EXPECT_EQ(AllotBandWidths(500, kGap, { 0, 700, 0 }).Centre, 500);

    for (const TBandWidths natural : { TBandWidths { 200, 50, 80 }, TBandWidths { 2000, 50, 80 },
             TBandWidths { 80, 50, 2000 }, TBandWidths { 2000, 2000, 2000 }, TBandWidths { 0, 2000, 2000 },
             TBandWidths { 300, 0, 300 }, TBandWidths { 100, 400, 0 } })
        ExpectFits(500, natural);
    ExpectFits(0, { 10, 10, 10 });
}

TEST(PrintLayout, SheetsFollowTheRangesCopiesAndOrderAsked)
{
    EXPECT_EQ(Order(3, "", 1, true, false), (QList<int> { 0, 1, 2 }));
    EXPECT_EQ(Order(5, "2-3,5", 1, true, false), (QList<int> { 1, 2, 4 }));
    // Pages beyond the document are left out; a range wholly beyond it prints nothing.
    EXPECT_EQ(Order(3, "2-9", 1, true, false), (QList<int> { 1, 2 }));
    EXPECT_TRUE(Order(3, "7-9", 1, true, false).isEmpty());
    EXPECT_EQ(Order(3, "", 2, true, false), (QList<int> { 0, 1, 2, 0, 1, 2 }));
    EXPECT_EQ(Order(3, "", 2, false, false), (QList<int> { 0, 0, 1, 1, 2, 2 }));
    EXPECT_EQ(Order(3, "1-2", 2, true, true), (QList<int> { 1, 0, 1, 0 }));
    EXPECT_EQ(Order(2, "", 0, true, false), (QList<int> { 0, 1 }));
    EXPECT_TRUE(Order(0, "", 1, true, false).isEmpty());
}
