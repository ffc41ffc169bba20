#include "viewer/BookProblemNotice.h"

#include <QBoxLayout>
#include <QLabel>
#include <QWidget>

void ShowBookProblem(QWidget& pageWidget, const QString& message)
{
    QWidget* area = pageWidget.parentWidget();
    auto* layout = area != nullptr ? qobject_cast<QBoxLayout*>(area->layout()) : nullptr;
    auto* notice = new QLabel(message, area);
    notice->setObjectName(QStringLiteral("BookProblem"));
    notice->setAlignment(Qt::AlignCenter);
    notice->setWordWrap(true);
    notice->setTextInteractionFlags(Qt::TextSelectableByMouse);
    notice->setMargin(24);
    if (layout != nullptr)
        layout->insertWidget(layout->indexOf(&pageWidget), notice, 1);
    pageWidget.hide();
    notice->show();
}
