#include "print/PrintedPages.h"

#include <algorithm>

QList<int> PrintedPageOrder(int pageCount, const TPrintedPagesRequest& request)
{
    QList<int> pages;
    for (int page = 1; page <= pageCount; ++page) {
        if (request.Ranges.isEmpty() || request.Ranges.contains(page))
            pages.append(page - 1);
    }
    if (request.LastPageFirst)
        std::reverse(pages.begin(), pages.end());

    const int copies = std::max(1, request.Copies);
    QList<int> sheets;
    sheets.reserve(pages.size() * copies);
    if (request.Collate) {
        for (int copy = 0; copy < copies; ++copy)
            sheets.append(pages);
    } else {
        for (int page : pages)
            sheets.append(QList<int>(copies, page));
    }
    return sheets;
}
