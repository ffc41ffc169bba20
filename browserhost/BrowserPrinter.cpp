#include "BrowserPrinter.h"

#include "DialogPolicy.h"
#include "HeaderFooterBand.h"
#include "PageRetirement.h"
#include "PdfTextLayer.h"
#include "PrintedPages.h"

#include <QDate>
#include <QGuiApplication>
#include <QLocale>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QWebEnginePage>
#include <QWidget>

#include <algorithm>
#include <utility>

namespace {

// Pages are drawn as pictures at the printer's resolution up to this: sharp on paper, while a
// 1200 dpi sheet would cost over half a gigabyte of pixels.
constexpr int kMaxRenderDpi = 300;
// Header and footer are set in the application's font at this size.
constexpr double kHeaderFooterPointSize = 9;

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

QMarginsF MarginsInInches(const TMargins& margins)
{
    return { std::max(0.0, margins.Left), std::max(0.0, margins.Top), std::max(0.0, margins.Right),
        std::max(0.0, margins.Bottom) };
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

bool TBrowserPrinter::PrintSheets()
{
    const int pageCount = document_.pageCount();
    TPrintedPagesRequest request;
    request.Ranges = printer_->printRange() == QPrinter::PageRange ? printer_->pageRanges() : QPageRanges();
    // A driver that makes the copies itself gets the document once.
    request.Copies = printer_->supportsMultipleCopies() ? 1 : printer_->copyCount();
    request.Collate = printer_->collateCopies();
    request.LastPageFirst = printer_->pageOrder() == QPrinter::LastPageFirst;
    const QList<int> sheets = PrintedPageOrder(pageCount, request);
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

    if (printer_->outputFormat() == QPrinter::PdfFormat) {
        QTransform pageToDevice;
        pageToDevice.translate(target.left(), target.top());
        pageToDevice.scale(size.width() / points.width(), size.height() / points.height());
        DrawInvisiblePageText(painter, document_, page, pageToDevice);
    }

    QFont font = QGuiApplication::font();
    font.setPointSizeF(kHeaderFooterPointSize);
    // No ligatures: a PDF reader would give "fi" in "file:" back as one character.
    font.setStyleStrategy(QFont::PreferNoShaping);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const QMarginsF margins = MarginsInInches(options_.Margins) * dpi;
    const double lineHeight = painter.fontMetrics().height();
    values_.PageNumber = page + 1;
    const double width = sheet.width() - margins.left() - margins.right();
    // A margin too thin for a line gets none, so that the line never covers the page.
    if (margins.top() >= lineHeight)
        DrawHeaderFooterBand(painter, QRectF(sheet.left() + margins.left(), sheet.top(), width, margins.top()),
            ExpandHeaderFooter(options_.Header, values_));
    if (margins.bottom() >= lineHeight)
        DrawHeaderFooterBand(painter,
            QRectF(sheet.left() + margins.left(), sheet.bottom() - margins.bottom(), width, margins.bottom()),
            ExpandHeaderFooter(options_.Footer, values_));
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
