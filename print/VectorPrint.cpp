#include "print/VectorPrint.h"

#include "print/PdfOverlay.h"
#include "print/SheetHeaderFooter.h"

#include <QSaveFile>

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <exception>
#include <set>

namespace {

// Puts the document's pages in the order of sheets; a page asked for again is a copy sharing its
// content.
void ArrangeSheets(QPDF& pdf, const QList<int>& sheets)
{
    QPDFPageDocumentHelper document(pdf);
    std::vector<QPDFPageObjectHelper> pages = document.getAllPages();
    std::vector<QPDFPageObjectHelper> ordered;
    std::set<int> used;
    for (int sheet : sheets) {
        if (sheet < 0 || std::size_t(sheet) >= pages.size())
            continue;
        ordered.push_back(
            used.insert(sheet).second ? pages[std::size_t(sheet)] : pages[std::size_t(sheet)].shallowCopyPage());
    }
    for (QPDFPageObjectHelper& page : pages)
        document.removePage(page);
    for (QPDFPageObjectHelper& page : ordered)
        document.addPage(page, false);
}

} // namespace

QByteArray VectorPrintedPdf(const QByteArray& enginePdf, const TPrintedPagesRequest& request,
    const TPrintOptions& options, THeaderFooterValues values, QString& error)
{
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processMemoryFile("page", enginePdf.constData(), std::size_t(enginePdf.size()));
        const std::vector<QSizeF> sizes = PdfPageSizes(pdf);
        QList<THeaderFooterSheet> bands;
        values.PageCount = int(sizes.size());
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            values.PageNumber = int(i) + 1;
            bands.append({ sizes[i], values });
        }
        const QByteArray bandPdf = HeaderFooterSheetsPdf(bands, options);
        QPDF overlay;
        overlay.setSuppressWarnings(true);
        if (!bandPdf.isEmpty()) {
            overlay.processMemoryFile("header and footer", bandPdf.constData(), std::size_t(bandPdf.size()));
            LayPagesOver(pdf, overlay);
        }
        const QList<int> sheets = PrintedPageOrder(int(sizes.size()), request);
        if (sheets.isEmpty()) {
            error = QStringLiteral("no page to print");
            return {};
        }
        ArrangeSheets(pdf, sheets);
        QPDFWriter writer(pdf);
        writer.setOutputMemory();
        writer.setObjectStreamMode(qpdf_o_generate);
        writer.write();
        const std::shared_ptr<Buffer> out = writer.getBufferSharedPointer();
        return QByteArray(reinterpret_cast<const char*>(out->getBuffer()), qsizetype(out->getSize()));
    } catch (const std::exception& e) {
        error = QString::fromLocal8Bit(e.what());
        return {};
    }
}

bool WriteWholeFile(const QString& path, const QByteArray& bytes, QString& error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}
