#include "bookpdf/BookPdfAssembly.h"

#include "bookpdf/PdfStreamWriter.h"
#include "browserhost/WindowCaption.h"
#include "print/PdfOverlay.h"
#include "print/SheetHeaderFooter.h"

#include <QFile>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAnnotationObjectHelper.hh>
#include <qpdf/QPDFOutlineDocumentHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <algorithm>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

struct TCancelled : std::exception {
    const char* what() const noexcept override { return "cancelled"; }
};

// Each page of the book is reached through a named destination: links and outline entries name
// it before the page's sheets are written.
std::string PageDestinationName(std::size_t page)
{
    return "/page" + std::to_string(page);
}

std::string EntryDestinationName(std::size_t entry)
{
    return "/entry" + std::to_string(entry);
}

// Links to a page of the book go to that page; other links stay as they are. Links to a place on
// the page itself name it in the page's own document, whose names are not copied: they get the
// place itself.
void LinkWithinDocument(QPDF& pdf, const std::function<int(const QString& url)>& pageOfLink)
{
    QPDFOutlineDocumentHelper names(pdf);
    for (QPDFPageObjectHelper& sheet : QPDFPageDocumentHelper(pdf).getAllPages()) {
        for (QPDFAnnotationObjectHelper& annotation : sheet.getAnnotations("/Link")) {
            QPDFObjectHandle link = annotation.getObjectHandle();
            QPDFObjectHandle destination = link.getKey("/Dest");
            if (destination.isName() || destination.isString()) {
                QPDFObjectHandle place = names.resolveNamedDest(destination);
                if (place.isArray())
                    link.replaceKey("/Dest", place);
                else
                    link.removeKey("/Dest");
                continue;
            }
            QPDFObjectHandle action = link.getKey("/A");
            if (!action.isDictionary() || !action.getKey("/S").isNameAndEquals("/URI")
                || !action.getKey("/URI").isString())
                continue;
            const int target = pageOfLink(QString::fromStdString(action.getKey("/URI").getUTF8Value()));
            if (target < 0)
                continue;
            link.removeKey("/A");
            link.replaceKey("/Dest", QPDFObjectHandle::newName(PageDestinationName(std::size_t(target))));
        }
    }
}

// The outline entries, each under its parent. A parent always comes before its children, so the
// entries are linked front to back and counted back to front.
int WriteOutline(TPdfStreamWriter& writer, const std::vector<TOutlineEntry>& entries)
{
    const int root = writer.Reserve();
    struct TItem {
        int Number = 0, First = 0, Prev = 0, Next = 0, Descendants = 0;
        // The position of the last child so far, to link the next one after it.
        int LastChild = -1;
    };
    std::vector<TItem> items(entries.size());
    TItem top;
    const auto last = [&](const TItem& parent) { return items[std::size_t(parent.LastChild)].Number; };
    for (std::size_t i = 0; i < entries.size(); ++i) {
        items[i].Number = writer.Reserve();
        TItem& parent = entries[i].Parent >= 0 ? items[std::size_t(entries[i].Parent)] : top;
        if (parent.LastChild >= 0) {
            items[std::size_t(parent.LastChild)].Next = items[i].Number;
            items[i].Prev = last(parent);
        } else {
            parent.First = items[i].Number;
        }
        parent.LastChild = int(i);
    }
    for (std::size_t i = entries.size(); i-- > 0;) {
        TItem& parent = entries[i].Parent >= 0 ? items[std::size_t(entries[i].Parent)] : top;
        parent.Descendants += items[i].Descendants + 1;
    }
    auto reference = [](int number) { return std::to_string(number) + " 0 R"; };
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const TItem& item = items[i];
        const TOutlineEntry& entry = entries[i];
        std::string body = "<< /Title " + TPdfStreamWriter::TextString(entry.Title.toStdString()) + " /Dest "
            + EntryDestinationName(i) + " /Parent "
            + reference(entry.Parent >= 0 ? items[std::size_t(entry.Parent)].Number : root);
        if (item.Prev)
            body += " /Prev " + reference(item.Prev);
        if (item.Next)
            body += " /Next " + reference(item.Next);
        if (item.First)
            body += " /First " + reference(item.First) + " /Last " + reference(last(item)) + " /Count "
                + std::to_string(item.Descendants);
        writer.Write(item.Number, body + " >>");
    }
    std::string body = "<< /Type /Outlines";
    if (top.First)
        body += " /First " + reference(top.First) + " /Last " + reference(last(top)) + " /Count "
            + std::to_string(top.Descendants);
    writer.Write(root, body + " >>");
    return root;
}

// Without contents, an entry per page under the page whose link reached it.
std::vector<TOutlineEntry> OutlineOfPages(const std::vector<TAssembledPage>& pages)
{
    std::vector<TOutlineEntry> entries;
    for (std::size_t i = 0; i < pages.size(); ++i)
        entries.push_back({ pages[i].Title.isEmpty() ? pages[i].Name : pages[i].Title, int(i), {}, pages[i].Parent });
    return entries;
}

// Where an anchor of a page's own document is: "[sheet /XYZ left top null]" with the sheet as
// written into the book's PDF, or empty when the document does not name it.
std::string AnchorPlace(QPDF& pdf, const QString& anchor, const std::vector<int>& written)
{
    QPDFOutlineDocumentHelper names(pdf);
    QPDFObjectHandle place = names.resolveNamedDest(QPDFObjectHandle::newString(anchor.toStdString()));
    if (!place.isArray())
        place = names.resolveNamedDest(QPDFObjectHandle::newName("/" + anchor.toStdString()));
    if (!place.isArray() || place.getArrayNItems() < 1)
        return {};
    const std::vector<QPDFPageObjectHelper> sheets = QPDFPageDocumentHelper(pdf).getAllPages();
    for (std::size_t i = 0; i < sheets.size() && i < written.size(); ++i) {
        if (sheets[i].getObjectHandle().getObjGen() != place.getArrayItem(0).getObjGen())
            continue;
        std::string rest;
        for (int item = 1; item < place.getArrayNItems(); ++item)
            rest += " " + place.getArrayItem(item).unparse();
        return "[" + std::to_string(written[i]) + " 0 R" + rest + "]";
    }
    return {};
}

int WriteInformation(TPdfStreamWriter& writer, const TBookPdfDesign& design)
{
    std::string body = "<< /Creator " + TPdfStreamWriter::TextString("ebook");
    if (!design.BookTitle.isEmpty())
        body += " /Title " + TPdfStreamWriter::TextString(design.BookTitle.toStdString());
    if (!design.Author.isEmpty())
        body += " /Author " + TPdfStreamWriter::TextString(design.Author.toStdString());
    const int info = writer.Reserve();
    writer.Write(info, body + " >>");
    return info;
}

std::unique_ptr<QPDF> OpenPdf(const QString& file)
{
    auto pdf = std::make_unique<QPDF>();
    pdf->setSuppressWarnings(true);
    pdf->processFile(QFile::encodeName(file).constData());
    return pdf;
}

// The header and footer of every sheet as forms to draw over it, made a batch of sheets at a time:
// a batch shares one font, written once, and only one batch is held at a time.
class THeaderFooterForms {
public:
    THeaderFooterForms(const QList<THeaderFooterSheet>& sheets, const TPrintOptions& options)
        : sheets_(sheets)
        , options_(options)
    {
    }

    // The form for the sheet, counted through the book; null when its batch has no page.
    QPDFObjectHandle Form(qsizetype sheet)
    {
        const qsizetype first = sheet - sheet % kBatchSheets;
        if (!pdf_ || first != first_) {
            layers_.clear();
            copied_ = {};
            pdf_.reset();
            bytes_ = HeaderFooterSheetsPdf(sheets_.mid(first, kBatchSheets), options_);
            first_ = first;
            pdf_ = std::make_unique<QPDF>();
            pdf_->setSuppressWarnings(true);
            if (!bytes_.isEmpty()) {
                pdf_->processMemoryFile("header and footer", bytes_.constData(), std::size_t(bytes_.size()));
                layers_ = QPDFPageDocumentHelper(*pdf_).getAllPages();
            }
        }
        const std::size_t at = std::size_t(sheet - first_);
        return at < layers_.size() ? layers_[at].getFormXObjectForPage() : QPDFObjectHandle::newNull();
    }
    // What of the current batch has been written.
    TPdfStreamWriter::TCopied& Copied() { return copied_; }

private:
    static constexpr qsizetype kBatchSheets = 256;
    const QList<THeaderFooterSheet>& sheets_;
    const TPrintOptions& options_;
    qsizetype first_ = 0;
    // The batch's PDF, the document read from it, and its pages: each read from the one before.
    QByteArray bytes_;
    std::unique_ptr<QPDF> pdf_;
    std::vector<QPDFPageObjectHelper> layers_;
    TPdfStreamWriter::TCopied copied_;
};

} // namespace

bool AssembleBookPdf(const std::vector<TAssembledPage>& pages, const std::vector<TOutlineEntry>& givenOutline,
    const TBookPdfDesign& design, const std::function<int(const QString& url)>& pageOfLink, const QString& outputFile,
    const std::atomic_bool& cancelled, QString& error)
{
    try {
        const std::vector<TOutlineEntry> outline = givenOutline.empty() ? OutlineOfPages(pages) : givenOutline;
        std::vector<std::string> entryPlaces(outline.size());
        // The sheets are numbered through the whole book: every page's sheets are looked at first.
        QList<THeaderFooterSheet> bands;
        THeaderFooterValues values;
        values.Date = design.Date;
        for (const TAssembledPage& page : pages) {
            if (cancelled)
                throw TCancelled();
            values.WindowTitle = ComposeCaption(design.BookTitle, page.Title);
            values.Url = page.Name;
            for (const QSizeF& size : PdfPageSizes(*OpenPdf(page.File)))
                bands.append({ size, values });
        }
        for (qsizetype i = 0; i < bands.size(); ++i) {
            bands[i].Values.PageNumber = int(i) + 1;
            bands[i].Values.PageCount = int(bands.size());
        }
        THeaderFooterForms forms(bands, design.Options);

        TPdfStreamWriter writer(QFile::encodeName(outputFile).toStdString());
        const int catalog = writer.Reserve();
        const int pageTree = writer.Reserve();
        std::vector<int> sheets;
        std::vector<int> firstSheets;
        // One page's document at a time: read, headed and footed, linked, written, let go.
        for (std::size_t i = 0; i < pages.size(); ++i) {
            if (cancelled)
                throw TCancelled();
            const TAssembledPage& page = pages[i];
            const std::unique_ptr<QPDF> pdf = OpenPdf(page.File);
            std::vector<TPdfStreamWriter::TPageOverlay> overlays;
            for (QPDFPageObjectHelper& sheet : QPDFPageDocumentHelper(*pdf).getAllPages()) {
                QPDFObjectHandle form = forms.Form(qsizetype(sheets.size() + overlays.size()));
                if (form.isNull())
                    break;
                const std::string name = UnusedFormName(sheet);
                overlays.push_back({ name, writer.CopyObject(form, forms.Copied()) });
                DrawFormOverPage(*pdf, sheet, form, name);
            }
            LinkWithinDocument(*pdf, pageOfLink);
            const std::vector<int> written = writer.CopyPages(*pdf, pageTree, overlays);
            if (written.empty())
                throw std::runtime_error(page.Name.toStdString() + " has no sheet");
            for (std::size_t e = 0; e < outline.size(); ++e) {
                if (outline[e].Page == int(i) && !outline[e].Anchor.isEmpty())
                    entryPlaces[e] = AnchorPlace(*pdf, outline[e].Anchor, written);
            }
            firstSheets.push_back(written.front());
            sheets.insert(sheets.end(), written.begin(), written.end());
        }

        std::string kids;
        for (int sheet : sheets)
            kids += std::to_string(sheet) + " 0 R ";
        writer.Write(pageTree, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(sheets.size()) + " >>");
        const int destinations = writer.Reserve();
        std::string names = "<<";
        for (std::size_t i = 0; i < firstSheets.size(); ++i)
            names += PageDestinationName(i) + " [" + std::to_string(firstSheets[i]) + " 0 R /XYZ null null null]\n";
        for (std::size_t e = 0; e < outline.size(); ++e) {
            const auto page = std::size_t(std::clamp(outline[e].Page, 0, int(firstSheets.size()) - 1));
            names += EntryDestinationName(e) + " "
                + (entryPlaces[e].empty() ? "[" + std::to_string(firstSheets[page]) + " 0 R /XYZ null null null]"
                                          : entryPlaces[e])
                + "\n";
        }
        writer.Write(destinations, names + ">>");
        const int outlineRoot = WriteOutline(writer, outline);
        const int info = WriteInformation(writer, design);
        writer.Write(catalog,
            "<< /Type /Catalog /Pages " + std::to_string(pageTree) + " 0 R /Dests " + std::to_string(destinations)
                + " 0 R /Outlines " + std::to_string(outlineRoot) + " 0 R /PageMode /UseOutlines >>");
        writer.Finish(catalog, info);
        return true;
    } catch (const std::exception& e) {
        error = QString::fromLocal8Bit(e.what());
        return false;
    }
}
