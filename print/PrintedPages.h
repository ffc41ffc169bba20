#pragma once

#include <QList>
#include <QPageRanges>

// What the print dialog asked for, as far as the sheets go.
struct TPrintedPagesRequest {
    // Empty: every page. Pages count from 1.
    QPageRanges Ranges;
    // Copies this program makes itself: 1 when the printer's driver makes them.
    int Copies = 1;
    // Each copy whole before the next (1 2 3 1 2 3) or each page repeated (1 1 2 2 3 3).
    bool Collate = true;
    bool LastPageFirst = false;
};

// The pages of a document of pageCount pages in the order their sheets are printed, counted from
// 0; pages of the ranges beyond the document are left out.
QList<int> PrintedPageOrder(int pageCount, const TPrintedPagesRequest& request);
