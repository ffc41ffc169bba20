#include "viewer/reading/ZoomControl.h"

#include <QLabel>
#include <QTimer>
#include <QWebEnginePage>

#include <algorithm>

namespace {

// How long the badge stays after the last change.
constexpr int kBadgeMilliseconds = 1200;
constexpr int kBadgeMargin = 8;

} // namespace

const std::vector<int>& TZoomControl::Steps()
{
    static const std::vector<int> steps { 25, 33, 50, 67, 75, 80, 90, 100, 110, 125, 150, 175, 200, 250, 300, 400,
        500 };
    return steps;
}

TZoomControl::TZoomControl(QWebEnginePage& page, QWidget& overPage)
    : QObject(&overPage)
    , Page(page)
    , badge_(new QLabel(&overPage))
    , hideBadge_(new QTimer(this))
{
    badge_->setObjectName(QStringLiteral("ZoomBadge"));
    badge_->setStyleSheet(QStringLiteral(
        "QLabel { background: rgba(40, 40, 40, 220); color: white; border-radius: 4px; padding: 4px 10px; }"));
    badge_->hide();
    hideBadge_->setSingleShot(true);
    hideBadge_->setInterval(kBadgeMilliseconds);
    connect(hideBadge_, &QTimer::timeout, badge_, &QLabel::hide);
    // The engine starts each new document at 100 %: the book's zoom goes back on as soon as the
    // document is committed and again when it has loaded.
    connect(&Page, &QWebEnginePage::urlChanged, this, &TZoomControl::ApplyToPage);
    connect(&Page, &QWebEnginePage::loadFinished, this, &TZoomControl::ApplyToPage);
}

void TZoomControl::Reset()
{
    SetPercent(100);
}

void TZoomControl::StepBy(int steps)
{
    const std::vector<int>& all = Steps();
    // The nearest step at or below the current zoom, then whole steps from there.
    const auto at = std::upper_bound(all.begin(), all.end(), percent_) - 1;
    const auto current = static_cast<int>(at - all.begin());
    const int target = std::clamp(current + steps, 0, static_cast<int>(all.size()) - 1);
    SetPercent(all[static_cast<std::size_t>(target)]);
}

void TZoomControl::SetPercent(int percent)
{
    percent_ = percent;
    ApplyToPage();
    badge_->setText(QStringLiteral("%1 %").arg(percent_));
    badge_->adjustSize();
    const QWidget* area = badge_->parentWidget();
    badge_->move(area->width() - badge_->width() - kBadgeMargin, kBadgeMargin);
    badge_->raise();
    badge_->show();
    hideBadge_->start();
}

void TZoomControl::ApplyToPage()
{
    // Only when the engine reports another factor: a move within the page keeps its zoom, and
    // needs no call into the engine.
    const qreal factor = percent_ / 100.0;
    if (!qFuzzyCompare(Page.zoomFactor(), factor))
        Page.setZoomFactor(factor);
}
