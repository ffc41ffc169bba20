#pragma once

#include "print/HeaderFooterText.h"

class QPainter;
class QRectF;

// The widths a band of the given width grants its three texts, each at most its natural width.
// The centre text stays centred; the side texts never reach into it or into each other (at least
// gap apart). What has to give is shortened from the longest text down: a short page number or
// date keeps its room, a long address or title is cut.
struct TBandWidths {
    double Left = 0;
    double Centre = 0;
    double Right = 0;
};
TBandWidths AllotBandWidths(double band, double gap, const TBandWidths& natural);

// Draws one header or footer line into band with the painter's font and pen, vertically centred;
// a text that does not fit its room is elided at its end.
void DrawHeaderFooterBand(QPainter& painter, const QRectF& band, const THeaderFooterParts& parts);
