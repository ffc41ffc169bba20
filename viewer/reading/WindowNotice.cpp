#include "viewer/reading/WindowNotice.h"

#include <QEvent>

namespace {
constexpr int kShownMs = 8000;
} // namespace

TWindowNotice::TWindowNotice(QWidget& host)
    : QLabel(&host)
{
    setObjectName(QStringLiteral("WindowNotice"));
    setFocusPolicy(Qt::NoFocus);
    setWordWrap(true);
    setTextFormat(Qt::PlainText);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::ToolTipBase);
    setForegroundRole(QPalette::ToolTipText);
    setFrameShape(QFrame::Box);
    setMargin(6);
    hide();
    hide_.setSingleShot(true);
    connect(&hide_, &QTimer::timeout, this, &QWidget::hide);
    host.installEventFilter(this);
}

void TWindowNotice::Show(const QString& text)
{
    setText(text);
    Place();
    show();
    raise();
    hide_.start(kShownMs);
}

void TWindowNotice::Place()
{
    const QWidget* host = parentWidget();
    const int width = std::min(host->width() - 16, 600);
    setFixedWidth(std::max(width, 100));
    adjustSize();
    move(8, std::max(0, host->height() - height() - 8));
}

void TWindowNotice::mousePressEvent(QMouseEvent*)
{
    hide();
}

bool TWindowNotice::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize && isVisible())
        Place();
    return QLabel::eventFilter(watched, event);
}
