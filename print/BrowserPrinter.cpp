#include "print/BrowserPrinter.h"

#include "print/DialogPolicy.h"
#include "print/PageRetirement.h"
#include "print/PrintedPages.h"
#include "print/SheetHeaderFooter.h"
#include "print/VectorPrint.h"

#include <QDate>
#include <QLocale>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QWebEnginePage>
#include <QWidget>

#include <algorithm>
#include <utility>

namespace {

// Pages are drawn as pictures at the printer's resolution up to this: sharp on paper, while a
// 1200 dpi sheet would cost over half a gigabyte of pixels.
constexpr int kMaxRenderDpi = 300;
// The print system's command that takes a PDF for a printer.
const QString kPrintCommand = QStringLiteral("lp");
constexpr int kPrintCommandWaitMs = 60000;

// The engine leaves unpainted areas transparent; laid on white the picture needs no mask in a PDF.
// Most pixels are wholly clear or wholly opaque, so one pass over them is cheap next to painting.
QImage OnWhite(QImage picture)
{
    picture.convertTo(QImage::Format_ARGB32);
    for (int y = 0; y < picture.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb pixel = line[x];
            const int alpha = qAlpha(pixel);
            if (alpha == 255)
                continue;
            if (alpha == 0) {
                line[x] = qRgb(255, 255, 255);
                continue;
            }
            auto blend = [alpha](int channel) { return (channel * alpha + 255 * (255 - alpha) + 127) / 255; };
            line[x] = qRgb(blend(qRed(pixel)), blend(qGreen(pixel)), blend(qBlue(pixel)));
        }
    }
    picture.reinterpretAsFormat(QImage::Format_RGB32);
    return picture;
}

bool IsBlank(const QUrl& url)
{
    return url.isEmpty() || url == QUrl(QStringLiteral("about:blank"));
}

} // namespace

TBrowserPrinter::TBrowserPrinter(QWidget& browser, QWebEnginePage& page, const TPrintOptions& options)
    : QObject(&browser)
    , page_(&page)
    , options_(options)
    , printer_(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    values_.WindowTitle = browser.window()->windowTitle();
    // The address as the user reads it: percent-escapes decoded, no password.
    values_.Url = page.url().toDisplayString();
    values_.Date = QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
    printer_->setPageOrientation(
        options.Orientation == TPrintOrientationOption::poLandscape ? QPageLayout::Landscape : QPageLayout::Portrait);
}

TBrowserPrinter::~TBrowserPrinter()
{
    delete dialog_;
    if (!finished_ && done_)
        done_(false);
}

void TBrowserPrinter::PrintWithDialog(QWidget* parent)
{
    if (!HasLoadedPage() || !ModalBoxesCanBeAnswered())
        return Finish(false);
    const QPointer<TBrowserPrinter> self(this);
    dialog_ = new QPrintDialog(printer_.get(), parent);
    const int answer = dialog_->exec();
    // The dialog's event loop may have seen the browser go, and this job with it.
    if (!self)
        return;
    delete dialog_;
    if (answer != QDialog::Accepted)
        return Finish(false);
    Render();
}

void TBrowserPrinter::PrintToPdfFile(const QString& path, TDone done)
{
    done_ = std::move(done);
    if (!HasLoadedPage())
        return Finish(false);
    printer_->setOutputFormat(QPrinter::PdfFormat);
    printer_->setOutputFileName(path);
    Render();
}

bool TBrowserPrinter::HasLoadedPage() const
{
    return page_ && !IsBlank(page_->url());
}

void TBrowserPrinter::Render()
{
    if (!page_)
        return Finish(false);
    // The orientation is the printer's: the options' one, or what the user chose in the dialog.
    const QPageLayout paper = printer_->pageLayout();
    const QPageLayout layout(
        paper.pageSize(), paper.orientation(), MarginsInInches(options_.Margins), QPageLayout::Inch);
    // The page stays until the engine answers (see RetirePage); this job may have gone with the
    // browser by then.
    PdfRenderingStarted(page_);
    page_->printToPdf(
        [self = QPointer<TBrowserPrinter>(this), page = page_.data()](const QByteArray& pdf) {
            if (self)
                self->PdfRendered(pdf);
            PdfRenderingEnded(page);
        },
        layout);
}

void TBrowserPrinter::PdfRendered(const QByteArray& pdf)
{
    if (pdf.isEmpty())
        return Finish(false);
    // A PDF file, or a printer whose print system takes PDF, gets the engine's own sheets with the
    // header and footer laid over them as text; other printers get pictures of the sheets.
    if (printer_->outputFormat() == QPrinter::PdfFormat)
        return Finish(PrintVectorToFile(pdf));
    if (!printer_->printerName().isEmpty() && !QStandardPaths::findExecutable(kPrintCommand).isEmpty())
        return Finish(PrintVectorToPrinter(pdf));
    pdf_.setData(pdf);
    pdf_.open(QIODevice::ReadOnly);
    connect(&document_, &QPdfDocument::statusChanged, this, &TBrowserPrinter::PdfStatusChanged);
    document_.load(&pdf_);
}

void TBrowserPrinter::PdfStatusChanged(QPdfDocument::Status status)
{
    if (status == QPdfDocument::Status::Ready)
        Finish(PrintSheets());
    else if (status == QPdfDocument::Status::Error)
        Finish(false);
}

TPrintedPagesRequest TBrowserPrinter::SheetRequest(bool driverMakesCopies) const
{
    TPrintedPagesRequest request;
    request.Ranges = printer_->printRange() == QPrinter::PageRange ? printer_->pageRanges() : QPageRanges();
    request.Copies = driverMakesCopies ? 1 : printer_->copyCount();
    request.Collate = printer_->collateCopies();
    request.LastPageFirst = printer_->pageOrder() == QPrinter::LastPageFirst;
    return request;
}

QByteArray TBrowserPrinter::VectorSheets(const QByteArray& enginePdf)
{
    // The copies are sheets of the document: the print system is given one copy to print.
    QString error;
    return VectorPrintedPdf(enginePdf, SheetRequest(false), options_, values_, error);
}

bool TBrowserPrinter::PrintVectorToFile(const QByteArray& enginePdf)
{
    const QByteArray printed = VectorSheets(enginePdf);
    QString error;
    return !printed.isEmpty() && WriteWholeFile(printer_->outputFileName(), printed, error);
}

bool TBrowserPrinter::PrintVectorToPrinter(const QByteArray& enginePdf)
{
    const QByteArray printed = VectorSheets(enginePdf);
    QTemporaryFile file;
    if (printed.isEmpty() || !file.open() || file.write(printed) != printed.size() || !file.flush())
        return false;
    QProcess command;
    command.start(kPrintCommand,
        { QStringLiteral("-d"), printer_->printerName(), QStringLiteral("-t"), values_.WindowTitle,
            QStringLiteral("--"), file.fileName() });
    return command.waitForFinished(kPrintCommandWaitMs) && command.exitStatus() == QProcess::NormalExit
        && command.exitCode() == 0;
}

bool TBrowserPrinter::PrintSheets()
{
    const int pageCount = document_.pageCount();
    // A driver that makes the copies itself gets the document once.
    const QList<int> sheets = PrintedPageOrder(pageCount, SheetRequest(printer_->supportsMultipleCopies()));
    if (sheets.isEmpty())
        return false;

    values_.PageCount = pageCount;
    // The picture of each PDF page covers the whole sheet, its margins included.
    printer_->setFullPage(true);
    QPainter painter;
    if (!painter.begin(printer_.get()))
        return false;
    for (qsizetype i = 0; i < sheets.size(); ++i) {
        if ((i > 0 && !printer_->newPage()) || !PrintSheet(painter, sheets[i]))
            return false;
    }
    return painter.end();
}

bool TBrowserPrinter::PrintSheet(QPainter& painter, int page)
{
    const double dpi = printer_->resolution();
    const QRectF sheet = printer_->paperRect(QPrinter::DevicePixel);
    const QSizeF points = document_.pagePointSize(page);
    if (points.isEmpty())
        return false;
    // A PDF page of another shape than the sheet (a page that sets its own size) is fitted in.
    const QSizeF size = points.scaled(sheet.size(), Qt::KeepAspectRatio);
    const QRectF target(sheet.center() - QPointF(size.width(), size.height()) / 2, size);

    const double renderScale = std::min(dpi, double(kMaxRenderDpi)) / dpi;
    const QSize imageSize = (size * renderScale).toSize();
    QImage rendered = document_.render(page, imageSize);
    if (rendered.isNull())
        return false;
    painter.drawImage(target, OnWhite(std::move(rendered)));

    values_.PageNumber = page + 1;
    DrawSheetHeaderFooter(painter, sheet, dpi, options_, values_);
    return true;
}

void TBrowserPrinter::Finish(bool printed)
{
    if (finished_)
        return;
    finished_ = true;
    deleteLater();
    // The caller may destroy the browser, and this job with it, in there: nothing after it.
    if (TDone done = std::exchange(done_, nullptr))
        done(printed);
}
