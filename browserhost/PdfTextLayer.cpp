#include "PdfTextLayer.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfSelection>
#include <QRegularExpression>

void DrawInvisiblePageText(QPainter& painter, QPdfDocument& document, int page, const QTransform& pageToDevice)
{
    const QString text = document.getAllText(page).text();
    if (text.isEmpty())
        return;

    painter.save();
    painter.setPen(Qt::transparent);
    QFont font = painter.font();
    // Character for character, no ligatures, so that the text reads back as the page's.
    font.setStyleStrategy(QFont::PreferNoShaping);
    // The text reader puts a line break between the lines it finds; the breaks count as
    // characters of the page, so a line's start is its offset in the whole text.
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    qsizetype start = 0;
    while (start < text.size()) {
        const QRegularExpressionMatch match = lineBreak.match(text, start);
        const qsizetype end = match.hasMatch() ? match.capturedStart() : text.size();
        const QString line = text.mid(start, end - start);
        if (!line.trimmed().isEmpty()) {
            const QPdfSelection selection = document.getSelectionAtIndex(page, int(start), int(line.size()));
            const QRectF box = pageToDevice.mapRect(selection.boundingRectangle());
            if (box.height() > 0 && box.width() > 0) {
                font.setPixelSize(std::max(1, qRound(box.height())));
                painter.setFont(font);
                const QFontMetricsF metrics(font, painter.device());
                const double natural = metrics.horizontalAdvance(line);
                painter.save();
                painter.translate(box.left(), box.top() + metrics.ascent() * box.height() / metrics.height());
                if (natural > 0)
                    painter.scale(box.width() / natural, 1);
                painter.drawText(QPointF(0, 0), line);
                painter.restore();
            }
        }
        start = match.hasMatch() ? match.capturedEnd() : text.size();
    }
    painter.restore();
}
