#include "viewer/WindowPlacement.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace {

// How long after the first show the window system may still be framing the window, and how often
// the frame is looked at meanwhile.
constexpr int kFramingMilliseconds = 1500;
constexpr int kFramingCheckMilliseconds = 25;

} // namespace

QPoint CentredPosition(const QSize& area, const QSize& window)
{
    return { std::max(0, (area.width() - window.width()) / 2), std::max(0, (area.height() - window.height()) / 2) };
}

QRect OntoAScreen(const QRect& outer, const QList<QRect>& screens, const QRect& primary)
{
    for (const QRect& screen : screens) {
        if (screen.intersects(outer))
            return outer;
    }
    const int x = std::max(primary.left(), std::min(outer.left(), primary.right() + 1 - outer.width()));
    const int y = std::max(primary.top(), std::min(outer.top(), primary.bottom() + 1 - outer.height()));
    return { QPoint(x, y), outer.size() };
}

QSize WithinArea(const QSize& window, const QSize& area)
{
    if (area.isEmpty())
        return window;
    return { std::min(window.width(), area.width()), std::min(window.height(), area.height()) };
}

TWindowPlacement::TWindowPlacement(QWidget& window)
    : QObject(&window)
    , Window(window)
{
}

void TWindowPlacement::PlaceAt(const QRect& outer)
{
    outer_ = outer;
}

void TWindowPlacement::CentreOn(Centre area, const QSize& outer)
{
    centre_ = area;
    centredSize_ = outer;
}

void TWindowPlacement::CentreOn(Centre area)
{
    centre_ = area;
    centreAsSized_ = true;
}

void TWindowPlacement::CoverPrimaryScreen()
{
    coverScreen_ = true;
}

void TWindowPlacement::Maximize()
{
    maximize_ = true;
}

void TWindowPlacement::FirstShown()
{
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary != nullptr) {
        const QSize available = primary->availableVirtualGeometry().size();
        if (centredSize_)
            centredSize_ = WithinArea(*centredSize_, available);
        if (outer_)
            outer_->setSize(WithinArea(outer_->size(), available));
        if (coverScreen_) {
            outer_ = QRect(QPoint(0, 0), primary->size());
        } else if (centredSize_ || centreAsSized_) {
            const QSize size = centredSize_ ? *centredSize_ : Window.size();
            outer_ = QRect(CentredPosition(CentringArea(), size), size);
        } else if (outer_) {
            QList<QRect> screens;
            for (const QScreen* screen : QGuiApplication::screens())
                screens.append(screen->geometry());
            outer_ = OntoAScreen(*outer_, screens, primary->geometry());
        }
    }
    if (fixedSize_ && !outer_ && !maximize_)
        Window.setFixedSize(Window.size());
    if (outer_) {
        ApplyOuter();
        // The window system tells of the frame it adds without an event of Qt's, so the frame is
        // looked at again and again for a while.
        // It ends at once when the window leaves its normal state (F11, a maximize): resizing
        // it then would take it out of full screen again.
        auto* framing = new QTimer(this);
        framing->setInterval(kFramingCheckMilliseconds);
        QElapsedTimer since;
        since.start();
        connect(framing, &QTimer::timeout, this, [this, framing, since] {
            const QWindow* handle = Window.windowHandle();
            const bool normal
                = (Window.windowState() & (Qt::WindowFullScreen | Qt::WindowMaximized | Qt::WindowMinimized))
                == Qt::WindowNoState;
            if (normal && handle != nullptr && handle->frameMargins() != appliedFrame_)
                ApplyOuter();
            if (!normal || since.elapsed() >= kFramingMilliseconds)
                framing->deleteLater();
        });
        framing->start();
    }
    if (maximize_) {
        // A window holding the browser that is maximized before its first show has been processed
        // stays unmaximized under some window managers; once it has been, maximizing works.
        QTimer::singleShot(0, &Window, [this] { Window.setWindowState(Window.windowState() | Qt::WindowMaximized); });
    }
}

QSize TWindowPlacement::CentringArea() const
{
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary == nullptr)
        return {};
    return centre_ == Centre::VirtualDesktop ? primary->virtualSize() : primary->size();
}

void TWindowPlacement::ApplyOuter()
{
    const QWindow* handle = Window.windowHandle();
    appliedFrame_ = handle != nullptr ? handle->frameMargins() : QMargins();
    if (centreAsSized_) {
        // The client keeps its size; the outer rectangle grows by the frame and is centred anew.
        const QSize size = Window.size().grownBy(appliedFrame_);
        outer_ = QRect(CentredPosition(CentringArea(), size), size);
    }
    const QSize client(outer_->width() - appliedFrame_.left() - appliedFrame_.right(),
        outer_->height() - appliedFrame_.top() - appliedFrame_.bottom());
    if (fixedSize_ && !maximize_)
        Window.setFixedSize(client);
    else
        Window.resize(client);
    // A top-level widget's position is that of its frame.
    Window.move(outer_->topLeft());
}
