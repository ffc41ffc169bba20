#include "viewer/SaveBookAsPdf.h"

#include "bookpdf/BookPdfExport.h"
#include "print/DialogPolicy.h"
#include "viewer/ErrorReport.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QProgressDialog>
#include <QTimer>
#include <QWidget>

TSaveBookAsPdf::TSaveBookAsPdf(QWidget& window, QMenu& menu, QAction* after, TBookSource* source, QString bookName,
    QString bookTitle, TPrintOptions options)
    : QObject(&window)
    , window_(window)
    , source_(source)
    , bookName_(std::move(bookName))
    , bookTitle_(std::move(bookTitle))
    , options_(std::move(options))
{
    action_ = new QAction(tr("Save Book as PDF\u2026"), &window);
    action_->setObjectName(QStringLiteral("ActionSaveBookAsPdf"));
    action_->setVisible(false);
    const QList<QAction*> actions = menu.actions();
    const qsizetype at = actions.indexOf(after);
    menu.insertAction(at >= 0 && at + 1 < actions.size() ? actions[at + 1] : nullptr, action_);
    connect(action_, &QAction::triggered, this, &TSaveBookAsPdf::Execute);
}

TSaveBookAsPdf::~TSaveBookAsPdf()
{
    delete progress_;
}

void TSaveBookAsPdf::SetOffered(bool offered)
{
    action_->setVisible(offered && source_ != nullptr);
}

QString TSaveBookAsPdf::SuggestedFile() const
{
    QString title = bookTitle_.simplified();
    title.replace(u'/', u'-');
    return QDir::home().filePath((title.isEmpty() ? QStringLiteral("book") : title) + QStringLiteral(".pdf"));
}

void TSaveBookAsPdf::Execute()
{
    if (!action_->isVisible() || export_ || !ModalBoxesCanBeAnswered())
        return;
    const QString file
        = QFileDialog::getSaveFileName(&window_, tr("Save Book as PDF"), SuggestedFile(), tr("PDF documents (*.pdf)"));
    if (!file.isEmpty())
        SaveTo(file);
}

void TSaveBookAsPdf::SaveTo(const QString& file)
{
    if (export_ || source_ == nullptr)
        return;
    ended_.reset();
    TBookPdfDesign design;
    design.Options = options_;
    export_ = std::make_unique<TBookPdfExport>(*source_, bookName_, design);
    connect(export_.get(), &TBookPdfExport::progressed, this, &TSaveBookAsPdf::Progressed);
    connect(export_.get(), &TBookPdfExport::finished, this, &TSaveBookAsPdf::Finished);
    action_->setEnabled(false);

    // Not modal: the book can be read on while its pages are rendered.
    progress_ = new QProgressDialog(&window_);
    progress_->setWindowTitle(tr("Save Book as PDF"));
    progress_->setWindowModality(Qt::NonModal);
    progress_->setMinimumDuration(0);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    progress_->setLabelText(tr("Starting\u2026"));
    connect(progress_, &QProgressDialog::canceled, export_.get(), &TBookPdfExport::Cancel);
    progress_->show();
    export_->Start(file);
}

void TSaveBookAsPdf::Progressed(int page, int total, const QString& name)
{
    if (!progress_)
        return;
    progress_->setMaximum(total + 1);
    progress_->setValue(page);
    progress_->setLabelText(name.isEmpty() ? tr("Putting %1 pages together\u2026").arg(total)
                                           : tr("Page %1 of %2: %3").arg(page + 1).arg(total).arg(name));
}

void TSaveBookAsPdf::Finished(bool written, const QString& error)
{
    if (progress_)
        progress_->deleteLater();
    progress_ = nullptr;
    action_->setEnabled(true);
    // The export is inside its own signal: it goes with the next export, or with this.
    ended_ = std::move(export_);
    if (!written && !error.isEmpty())
        ReportError(&window_, error.toStdString());
    emit finished(written, error);
}
