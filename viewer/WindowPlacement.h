#pragma once

#include <QList>
#include <QObject>
#include <QRect>

#include <optional>

class QWidget;

// Where a window whose position mode centres it stands: x = (W - width) / 2 and y = (H - height) /
// 2 in whole pixels, W and H the size of the area (its origin is not added), negative results
// replaced by 0.
QPoint CentredPosition(const QSize& area, const QSize& window);

// A rectangle that lies wholly outside every screen, moved onto the primary screen with its size
// kept (and its right and bottom edges off that screen only when it is larger than the screen);
// any rectangle that touches a screen comes back as it is.
QRect OntoAScreen(const QRect& outer, const QList<QRect>& screens, const QRect& primary);

// A window size no larger than the area the screens offer: a book's header can ask for any size,
// and the engine cannot draw a window much larger than a screen (a million pixels high crashes it).
QSize WithinArea(const QSize& window, const QSize& area);

// Puts a top-level window where the book wants it once it is shown: its outer rectangle, frame
// included, at given bounds, centred on the virtual desktop or the primary screen, covering the
// primary screen, or maximized. The frame's size is known only once the window system has framed
// the window, so the outer rectangle is applied again whenever the frame turns out different, for
// a short while after the first show; the user's own moves later are left alone.
class TWindowPlacement : public QObject {
    Q_OBJECT
public:
    enum class Centre { VirtualDesktop, PrimaryScreen };

    explicit TWindowPlacement(QWidget& window);

    void PlaceAt(const QRect& outer);
    void CentreOn(Centre area, const QSize& outer);
    // Centres the window with the client size it has, its frame added once known.
    void CentreOn(Centre area);
    void CoverPrimaryScreen();
    void Maximize();
    // Keeps the user from changing the size once placed. A maximized window is left to the window
    // manager, which would refuse to maximize a window of fixed size.
    void FixSize() { fixedSize_ = true; }

    // Called when the window is shown for the first time.
    void FirstShown();

    // The outer rectangle the window is placed at, when one was asked for.
    std::optional<QRect> OuterTarget() const { return outer_; }

private:
    void ApplyOuter();
    QSize CentringArea() const;

    QWidget& Window;
    std::optional<QRect> outer_;
    std::optional<QSize> centredSize_;
    bool centreAsSized_ = false;
    Centre centre_ = Centre::VirtualDesktop;
    bool coverScreen_ = false;
    bool maximize_ = false;
    bool fixedSize_ = false;
    QMargins appliedFrame_;
};
