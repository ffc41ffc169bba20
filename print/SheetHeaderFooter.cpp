#include "print/SheetHeaderFooter.h"

#include "print/HeaderFooterBand.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>

namespace {

// Header and footer are set in the application's font at this size.
constexpr double kHeaderFooterPointSize = 9;

} // namespace

QMarginsF MarginsInInches(const TMargins& margins)
{
    return { std::max(0.0, margins.Left), std::max(0.0, margins.Top), std::max(0.0, margins.Right),
        std::max(0.0, margins.Bottom) };
}

void DrawSheetHeaderFooter(
    QPainter& painter, const QRectF& sheet, double dpi, const TPrintOptions& options, const THeaderFooterValues& values)
{
    QFont font = QGuiApplication::font();
    font.setPointSizeF(kHeaderFooterPointSize);
    // No ligatures: a PDF reader would give "fi" in "file:" back as one character.
    font.setStyleStrategy(QFont::PreferNoShaping);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const QMarginsF margins = MarginsInInches(options.Margins) * dpi;
    const double lineHeight = painter.fontMetrics().height();
    const double width = sheet.width() - margins.left() - margins.right();
    if (margins.top() >= lineHeight)
        DrawHeaderFooterBand(painter, QRectF(sheet.left() + margins.left(), sheet.top(), width, margins.top()),
            ExpandHeaderFooter(options.Header, values));
    if (margins.bottom() >= lineHeight)
        DrawHeaderFooterBand(painter,
            QRectF(sheet.left() + margins.left(), sheet.bottom() - margins.bottom(), width, margins.bottom()),
            ExpandHeaderFooter(options.Footer, values));
}

QByteArray HeaderFooterSheetsPdf(const QList<THeaderFooterSheet>& sheets, const TPrintOptions& options)
{
    if (sheets.isEmpty())
        return {};
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageMargins({});
        writer.setPageSize(QPageSize(sheets.front().Points, QPageSize::Point, {}, QPageSize::ExactMatch));
        const double dpi = writer.resolution();
        QPainter painter(&writer);
        for (qsizetype i = 0; i < sheets.size(); ++i) {
            const QSizeF points = sheets[i].Points;
            if (i > 0) {
                writer.setPageSize(QPageSize(points, QPageSize::Point, {}, QPageSize::ExactMatch));
                writer.newPage();
            }
            const QRectF sheet(QPointF(0, 0), points * dpi / 72);
            DrawSheetHeaderFooter(painter, sheet, dpi, options, sheets[i].Values);
        }
    }
    return pdf;
}
