#pragma once

#include <QObject>

class QSocketNotifier;

// Tells the event loop when the process is asked to stop (SIGTERM, SIGINT), so that the program
// ends through its normal shutdown: the window closes as the Exit command does, an export is
// cancelled and removes its temporary files. One at a time: there is one handler per signal.
//
// A signal handler may do almost nothing: it writes the signal's number into a socket pair, and
// arrived() is emitted from the event loop once the notifier sees it.
class TQuitOnSignal : public QObject {
    Q_OBJECT
public:
    explicit TQuitOnSignal(QObject* parent);
    ~TQuitOnSignal() override;

signals:
    void arrived(int signal);

private:
    void SignalArrived();

    QSocketNotifier* notifier_ = nullptr;
};
