#include "print/HeaderFooterBand.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QRectF>

#include <algorithm>

namespace {

// Two texts share room: the shorter keeps its width when it needs no more than half.
std::pair<double, double> ShareRoom(double room, double first, double second)
{
    room = std::max(0.0, room);
    if (first + second <= room)
        return { first, second };
    const double half = room / 2;
    if (first <= half)
        return { first, room - first };
    if (second <= half)
        return { room - second, second };
    return { half, half };
}

} // namespace

TBandWidths AllotBandWidths(double band, double gap, const TBandWidths& natural)
{
    band = std::max(0.0, band);
    if (natural.Centre <= 0) {
        const double gaps = natural.Left > 0 && natural.Right > 0 ? gap : 0;
        const auto [left, right] = ShareRoom(band - gaps, natural.Left, natural.Right);
        return { left, 0, right };
    }
    // The centre text gives way to the longer side text down to a third of the band.
    const double side = std::max(natural.Left, natural.Right);
    const double sideGap = side > 0 ? gap : 0;
    const double centreRoom = std::max(band / 3, band - 2 * (side + sideGap));
    const double centre = std::min({ natural.Centre, centreRoom, band });
    const double sideRoom = std::max(0.0, (band - centre) / 2 - sideGap);
    return { std::min(natural.Left, sideRoom), centre, std::min(natural.Right, sideRoom) };
}

void DrawHeaderFooterBand(QPainter& painter, const QRectF& band, const THeaderFooterParts& parts)
{
    const QFontMetricsF metrics(painter.font(), painter.device());
    const double gap = metrics.horizontalAdvance(QStringLiteral("MM"));
    const TBandWidths widths = AllotBandWidths(band.width(), gap,
        { metrics.horizontalAdvance(parts.Left), metrics.horizontalAdvance(parts.Centre),
            metrics.horizontalAdvance(parts.Right) });

    auto draw = [&](const QString& text, double left, double width, Qt::Alignment alignment) {
        if (text.isEmpty() || width <= 0)
            return;
        const QRectF room(left, band.top(), width, band.height());
        painter.drawText(
            room, alignment | Qt::AlignVCenter | Qt::TextSingleLine, metrics.elidedText(text, Qt::ElideRight, width));
    };
    draw(parts.Left, band.left(), widths.Left, Qt::AlignLeft);
    draw(parts.Centre, band.center().x() - widths.Centre / 2, widths.Centre, Qt::AlignHCenter);
    draw(parts.Right, band.right() - widths.Right, widths.Right, Qt::AlignRight);
}
