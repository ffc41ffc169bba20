#pragma once

#include <QObject>

class QSocketNotifier;
class QWidget;

// Closes a window when the process is asked to stop (SIGTERM, SIGINT), as the Exit command does,
// so that the program ends through its normal shutdown with exit status 0.
//
// A signal handler may do almost nothing: it writes one byte into a socket pair, and the window is
// closed from the event loop once the notifier sees that byte.
class TQuitOnSignal : public QObject {
    Q_OBJECT
public:
    explicit TQuitOnSignal(QWidget& window);
    ~TQuitOnSignal() override;

private:
    void SignalArrived();

    QWidget& Window;
    QSocketNotifier* notifier_ = nullptr;
};
