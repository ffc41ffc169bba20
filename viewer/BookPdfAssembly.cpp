#include "BookPdfAssembly.h"

#include "PdfOverlay.h"
#include "SheetHeaderFooter.h"
#include "WindowCaption.h"

#include <QFile>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAnnotationObjectHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <exception>
#include <memory>

namespace {

struct TCancelled : std::exception {
    const char* what() const noexcept override { return "cancelled"; }
};

QPDFObjectHandle Text(const QString& text)
{
    return QPDFObjectHandle::newUnicodeString(text.toStdString());
}

QPDFObjectHandle DestinationOf(const QPDFObjectHandle& sheet)
{
    // The sheet's top left, at the reader's zoom.
    return QPDFObjectHandle::newArray({ sheet, QPDFObjectHandle::newName("/XYZ"), QPDFObjectHandle::newNull(),
        QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull() });
}

// Links to a page of the book go to that page's first sheet; other links stay as they are.
void LinkWithinDocument(std::vector<QPDFPageObjectHelper>& sheets, const std::vector<std::size_t>& firstSheet,
    const std::function<int(const QString& url)>& pageOfLink)
{
    for (QPDFPageObjectHelper& sheet : sheets) {
        for (QPDFAnnotationObjectHelper& annotation : sheet.getAnnotations("/Link")) {
            QPDFObjectHandle link = annotation.getObjectHandle();
            QPDFObjectHandle action = link.getKey("/A");
            if (!action.isDictionary() || !action.getKey("/S").isNameAndEquals("/URI")
                || !action.getKey("/URI").isString())
                continue;
            const int target = pageOfLink(QString::fromStdString(action.getKey("/URI").getUTF8Value()));
            if (target < 0)
                continue;
            link.removeKey("/A");
            link.replaceKey("/Dest", DestinationOf(sheets[firstSheet[std::size_t(target)]].getObjectHandle()));
        }
    }
}

// One outline entry per page, each under the page that reached it. A parent always comes before
// its children, so the entries are made front to back and counted back to front.
void AddOutline(QPDF& pdf, const std::vector<TAssembledPage>& pages, const std::vector<QPDFPageObjectHelper>& sheets,
    const std::vector<std::size_t>& firstSheet)
{
    if (pages.empty())
        return;
    QPDFObjectHandle root = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
    root.replaceKey("/Type", QPDFObjectHandle::newName("/Outlines"));
    std::vector<QPDFObjectHandle> items;
    std::vector<int> descendants(pages.size(), 0);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const TAssembledPage& page = pages[i];
        QPDFObjectHandle item = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
        item.replaceKey("/Title", Text(page.Title.isEmpty() ? page.Name : page.Title));
        item.replaceKey("/Dest", DestinationOf(sheets[firstSheet[i]].getObjectHandle()));
        QPDFObjectHandle parent = page.Parent >= 0 ? items[std::size_t(page.Parent)] : root;
        item.replaceKey("/Parent", parent);
        if (parent.hasKey("/Last")) {
            QPDFObjectHandle previous = parent.getKey("/Last");
            previous.replaceKey("/Next", item);
            item.replaceKey("/Prev", previous);
        } else {
            parent.replaceKey("/First", item);
        }
        parent.replaceKey("/Last", item);
        items.push_back(item);
    }
    int topLevel = 0;
    for (std::size_t i = pages.size(); i-- > 0;) {
        if (descendants[i] > 0)
            items[i].replaceKey("/Count", QPDFObjectHandle::newInteger(descendants[i]));
        if (pages[i].Parent >= 0)
            descendants[std::size_t(pages[i].Parent)] += descendants[i] + 1;
        else
            topLevel += descendants[i] + 1;
    }
    root.replaceKey("/Count", QPDFObjectHandle::newInteger(topLevel));
    pdf.getRoot().replaceKey("/Outlines", root);
    pdf.getRoot().replaceKey("/PageMode", QPDFObjectHandle::newName("/UseOutlines"));
}

void SetInformation(QPDF& pdf, const TBookPdfDesign& design)
{
    QPDFObjectHandle info = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
    if (!design.BookTitle.isEmpty())
        info.replaceKey("/Title", Text(design.BookTitle));
    if (!design.Author.isEmpty())
        info.replaceKey("/Author", Text(design.Author));
    info.replaceKey("/Creator", Text(QStringLiteral("ebook")));
    pdf.getTrailer().replaceKey("/Info", info);
}

} // namespace

bool AssembleBookPdf(const std::vector<TAssembledPage>& pages, const TBookPdfDesign& design,
    const std::function<int(const QString& url)>& pageOfLink, const QString& outputFile,
    const std::atomic_bool& cancelled, QString& error)
{
    try {
        QPDF pdf;
        pdf.emptyPDF();
        QPDFPageDocumentHelper document(pdf);
        // The pages' documents are read while the whole is written: they live until then.
        std::vector<std::unique_ptr<QPDF>> sources;
        std::vector<std::size_t> firstSheet;
        QList<THeaderFooterSheet> bands;
        THeaderFooterValues values;
        values.Date = design.Date;
        for (const TAssembledPage& page : pages) {
            if (cancelled)
                throw TCancelled();
            auto source = std::make_unique<QPDF>();
            source->setSuppressWarnings(true);
            source->processFile(QFile::encodeName(page.File).constData());
            firstSheet.push_back(std::size_t(bands.size()));
            values.WindowTitle = ComposeCaption(design.BookTitle, page.Title);
            values.Url = page.Name;
            for (const QSizeF& size : PdfPageSizes(*source))
                bands.append({ size, values });
            for (QPDFPageObjectHelper& sheet : QPDFPageDocumentHelper(*source).getAllPages())
                document.addPage(sheet, false);
            sources.push_back(std::move(source));
        }
        for (qsizetype i = 0; i < bands.size(); ++i) {
            bands[i].Values.PageNumber = int(i) + 1;
            bands[i].Values.PageCount = int(bands.size());
        }
        const QByteArray bandPdf = HeaderFooterSheetsPdf(bands, design.Options);
        QPDF overlay;
        overlay.setSuppressWarnings(true);
        if (!bandPdf.isEmpty()) {
            overlay.processMemoryFile("header and footer", bandPdf.constData(), std::size_t(bandPdf.size()));
            LayPagesOver(pdf, overlay);
        }
        std::vector<QPDFPageObjectHelper> sheets = document.getAllPages();
        LinkWithinDocument(sheets, firstSheet, pageOfLink);
        AddOutline(pdf, pages, sheets, firstSheet);
        SetInformation(pdf, design);
        if (cancelled)
            throw TCancelled();
        QPDFWriter writer(pdf, QFile::encodeName(outputFile).constData());
        writer.setObjectStreamMode(qpdf_o_generate);
        writer.write();
        return true;
    } catch (const std::exception& e) {
        error = QString::fromLocal8Bit(e.what());
        return false;
    }
}
