#pragma once

#include <QObject>

class QWebEngineView;

// The mouse on the engine's view, as the host wants it: the side buttons (back, forward) and the
// wheel with Ctrl held are the host's, not the engine's. The engine would otherwise walk its own
// history and zoom in steps of its own.
//
// The engine's view hands these events to a child widget it makes when the first page shows; the
// filter watches the view and each child it gets.
class TViewMouse : public QObject {
    Q_OBJECT
public:
    explicit TViewMouse(QWebEngineView& view);

signals:
    // Once per click, when the button is released.
    void backClicked();
    void forwardClicked();
    // Whole wheel notches with Ctrl held: positive away from the user.
    void zoomWheel(int notches);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Watch(QObject* object);
    // Fractions of a notch from fine-grained wheels, kept until they make a whole one.
    int wheelRemainder_ = 0;
};
