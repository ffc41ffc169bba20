#pragma once

#include "print/HeaderFooterText.h"
#include "print/PrintOptions.h"

#include <QByteArray>
#include <QList>
#include <QMarginsF>
#include <QSizeF>

class QPainter;
class QRectF;

// The options' margins in inches, none below zero.
QMarginsF MarginsInInches(const TMargins& margins);

// Draws the expanded Header into the sheet's top margin and the Footer into its bottom margin,
// the sheet being given in the painter's device pixels at dpi. A margin too thin for a line gets
// none, so that the line never covers the page.
void DrawSheetHeaderFooter(QPainter& painter, const QRectF& sheet, double dpi, const TPrintOptions& options,
    const THeaderFooterValues& values);

// One sheet of a header and footer document: its size and what its codes stand for.
struct THeaderFooterSheet {
    QSizeF Points;
    THeaderFooterValues Values;
};

// A PDF with one page per sheet, each the sheet's size and holding only its header and footer as
// text, to be laid over the engine's own sheets. Empty when there are no sheets.
QByteArray HeaderFooterSheetsPdf(const QList<THeaderFooterSheet>& sheets, const TPrintOptions& options);
