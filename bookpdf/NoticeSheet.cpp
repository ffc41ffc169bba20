#include "bookpdf/NoticeSheet.h"

#include <QFont>
#include <QPainter>
#include <QPdfWriter>

bool WriteNoticeSheet(const QString& file, const QString& pageName, const QString& reason, const QPageLayout& layout)
{
    QPdfWriter writer(file);
    writer.setPageLayout(layout);
    writer.setCreator(QStringLiteral("ebook"));
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    const QRect area = painter.viewport();
    QFont font = painter.font();
    font.setPointSizeF(14);
    painter.setFont(font);
    const QString text = QObject::tr("This page is not in the book's PDF:\n\n%1\n\n%2").arg(pageName, reason);
    painter.drawText(
        area.adjusted(0, area.height() / 6, 0, 0), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, text);
    return painter.end();
}
