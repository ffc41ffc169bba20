#include "browserhost/ViewMouse.h"

#include <QChildEvent>
#include <QMouseEvent>
#include <QWebEngineView>
#include <QWheelEvent>

namespace {
// One notch of an ordinary wheel, in eighths of a degree.
constexpr int kNotch = 120;
} // namespace

TViewMouse::TViewMouse(QWebEngineView& view)
    : QObject(&view)
{
    Watch(&view);
    for (QObject* child : view.children())
        Watch(child);
}

void TViewMouse::Watch(QObject* object)
{
    if (object->isWidgetType())
        object->installEventFilter(this);
}

bool TViewMouse::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ChildAdded:
        Watch(static_cast<QChildEvent*>(event)->child());
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::BackButton && mouse->button() != Qt::ForwardButton)
            break;
        // Press and double click are swallowed too, so the engine never acts on the button.
        mouse->accept();
        if (event->type() == QEvent::MouseButtonRelease) {
            if (mouse->button() == Qt::BackButton)
                emit backClicked();
            else
                emit forwardClicked();
        }
        return true;
    }
    case QEvent::Wheel: {
        auto* wheel = static_cast<QWheelEvent*>(event);
        if (!wheel->modifiers().testFlag(Qt::ControlModifier))
            break;
        wheel->accept();
        wheelRemainder_ += wheel->angleDelta().y();
        const int notches = wheelRemainder_ / kNotch;
        wheelRemainder_ -= notches * kNotch;
        if (notches != 0)
            emit zoomWheel(notches);
        return true;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
