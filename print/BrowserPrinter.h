#pragma once

#include "print/HeaderFooterText.h"
#include "print/PrintOptions.h"
#include "print/PrintedPages.h"

#include <QBuffer>
#include <QObject>
#include <QPdfDocument>
#include <QPointer>

#include <functional>
#include <memory>

class QPrintDialog;
class QPrinter;
class QWebEnginePage;
class QWidget;

// One print of the page a browser shows, with the Header and Footer of the print options drawn on
// every sheet. The engine has no header or footer of its own: it renders the page into a PDF laid
// out with the options' Margins. Into a PDF file, or to a printer whose print system takes PDF
// ("lp"), that PDF is sent as it is with the two lines laid over its sheets as text; for any other
// printer each PDF page is drawn as a picture with the two lines in the top and bottom margins.
//
// The engine renders asynchronously. The job is a child of the browser and deletes itself when it
// is done, so it lives exactly as long as it is needed and goes with the browser if that goes
// first; the page is reached only through a guard. Call one of the two print functions, once.
class TBrowserPrinter : public QObject {
    Q_OBJECT
public:
    using TDone = std::function<void(bool printed)>;

    // The window title, address and date are those of the moment printing is asked for.
    TBrowserPrinter(QWidget& browser, QWebEnginePage& page, const TPrintOptions& options);
    ~TBrowserPrinter() override;

    // Shows the print dialog over parent and prints what the user chose there: printer, pages,
    // copies and orientation, or "Print to file". Where nobody can answer the dialog nothing is
    // shown or printed.
    void PrintWithDialog(QWidget* parent);
    // Prints into a PDF file without a dialog. done(true) once the file is written, done(false)
    // when nothing was printed, also when the browser goes first.
    void PrintToPdfFile(const QString& path, TDone done);

private:
    bool HasLoadedPage() const;
    void Render();
    void PdfRendered(const QByteArray& pdf);
    void PdfStatusChanged(QPdfDocument::Status status);
    // What the print dialog asked for; the copies as sheets unless the driver makes them.
    TPrintedPagesRequest SheetRequest(bool driverMakesCopies) const;
    QByteArray VectorSheets(const QByteArray& enginePdf);
    bool PrintVectorToFile(const QByteArray& enginePdf);
    bool PrintVectorToPrinter(const QByteArray& enginePdf);
    bool PrintSheets();
    bool PrintSheet(QPainter& painter, int page);
    void Finish(bool printed);

    QPointer<QWebEnginePage> page_;
    TPrintOptions options_;
    // The codes' values; the page number and count are set for each sheet.
    THeaderFooterValues values_;
    std::unique_ptr<QPrinter> printer_;
    // Open only while the user chooses. It works on printer_: the destructor deletes it first.
    QPointer<QPrintDialog> dialog_;
    TDone done_;
    bool finished_ = false;
    // The document reads from the buffer for as long as it is open: declared after it, so it is
    // destroyed first.
    QBuffer pdf_;
    QPdfDocument document_;
};
