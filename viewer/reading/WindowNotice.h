#pragma once

#include <QLabel>
#include <QTimer>

// A line of news over the bottom of a widget (the page), for what the reader should know but need
// not answer: it shows for a few seconds, or until clicked, and never takes the focus.
class TWindowNotice : public QLabel {
    Q_OBJECT
public:
    explicit TWindowNotice(QWidget& host);

    void Show(const QString& text);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Place();

    QTimer hide_;
};
