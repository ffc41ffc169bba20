#include "book/ViewerMark.h"

std::string ViewerMarkToFind()
{
    static volatile unsigned char turn = kViewerMarkTurn;
    std::string mark(kViewerMarkSize, '\0');
    for (std::size_t i = 0; i < kViewerMarkSize; ++i)
        mark[i] = static_cast<char>(static_cast<unsigned char>(kTurnedViewerMark[i]) ^ turn);
    return mark;
}
