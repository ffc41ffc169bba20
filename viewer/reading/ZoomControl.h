#pragma once

#include <QObject>

#include <vector>

class QLabel;
class QTimer;
class QWebEnginePage;
class QWidget;

// The page zoom of the running book: in the usual steps from 25 % to 500 %, kept for every page
// (the engine forgets a zoom set before a load, so it is set again as each page arrives), and
// shown for a moment over the page when it changes. Nothing is kept between runs.
class TZoomControl : public QObject {
    Q_OBJECT
public:
    // The badge that shows the zoom is a child of overPage, drawn at its top right.
    TZoomControl(QWebEnginePage& page, QWidget& overPage);

    // The steps, in percent.
    static const std::vector<int>& Steps();

    int Percent() const { return percent_; }
    void ZoomIn() { StepBy(1); }
    void ZoomOut() { StepBy(-1); }
    void Reset();
    // Moves by whole steps from the current zoom, stopping at either end.
    void StepBy(int steps);
    // The badge, while it shows.
    const QLabel& Badge() const { return *badge_; }

private:
    void SetPercent(int percent);
    void ApplyToPage();

    QWebEnginePage& Page;
    int percent_ = 100;
    QLabel* badge_ = nullptr; // a Qt child of the page's widget
    QTimer* hideBadge_ = nullptr;
};
