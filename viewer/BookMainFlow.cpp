// TBookMainForm, continued: continuous reading (on past a page's end into the next page in
// reading order, back past its top into the previous one) and the progress line under the page.
#include "viewer/BookMain.h"

#include "browserhost/EmbeddedBrowser.h"
#include "sources/ReadingPages.h"
#include "viewer/BookMainDesign.h"
#include "viewer/contents/ContentsPanel.h"
#include "viewer/reading/ContinuousReading.h"
#include "viewer/reading/ReadingProgress.h"

#include <QLabel>
#include <QStatusBar>
#include <QUrl>
#include <QWebEnginePage>

void TBookMainForm::SetUpContinuousReading()
{
    QWebEnginePage& page = *ui->Browser->Page();
    continuous_ = new TContinuousReading(page, *ui->Browser);
    connect(continuous_, &TContinuousReading::turnAsked, this, &TBookMainForm::TurnPage);
    connect(continuous_, &TContinuousReading::scrolled, this, &TBookMainForm::ShowProgress);
    connect(ui->Browser, &TEmbeddedBrowser::sameDocumentNavigated, this, &TBookMainForm::ShowProgress);
}

const TReadingProgress* TBookMainForm::Progress()
{
    if (!progress_ && Source && bookProblem_.empty())
        progress_ = std::make_unique<TReadingProgress>(PagesInReadingOrder(*Source, BookContents()));
    return progress_.get();
}

QString TBookMainForm::ShownPage()
{
    if (HistoryIndex < 0 || HistoryIndex >= History.Count())
        return {};
    return PlaceOfAddress(QUrl(QString::fromStdString(History[HistoryIndex]))).Page;
}

void TBookMainForm::TurnPage(int direction)
{
    const TReadingProgress* progress = Progress();
    // A request the page left made while the next page loads would step past that page.
    if (progress == nullptr || ui->Browser->Page()->isLoading())
        return;
    const QString next = progress->PageBeside(ShownPage(), direction);
    if (next.isEmpty())
        return;
    // Back into the page before, the reader goes on from its end.
    if (direction < 0)
        continuous_->OpenNextLoadAtEnd();
    OpenContentsPlace(next, QString());
}

void TBookMainForm::ShowProgress()
{
    const TReadingProgress* progress = Progress();
    // A book without contents has no chapters to count: its window stays as designed.
    if (progress == nullptr || !progress->HasChapters())
        return;
    if (progressLabel_ == nullptr) {
        progressLabel_ = new QLabel(this);
        progressLabel_->setObjectName(QStringLiteral("ReadingProgress"));
        statusBar()->setSizeGripEnabled(false);
        statusBar()->addWidget(progressLabel_);
    }
    progressLabel_->setText(progress->Text(ShownPage(), continuous_->Percent()));
}
