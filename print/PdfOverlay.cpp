#include "print/PdfOverlay.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <algorithm>

std::vector<QSizeF> PdfPageSizes(QPDF& pdf)
{
    std::vector<QSizeF> sizes;
    for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(pdf).getAllPages()) {
        const QPDFObjectHandle::Rectangle box = page.getMediaBox().getArrayAsRectangle();
        QSizeF size(box.urx - box.llx, box.ury - box.lly);
        if (page.getAttribute("/Rotate", false).isInteger() && page.getAttribute("/Rotate", false).getIntValue() % 180)
            size.transpose();
        sizes.push_back(size);
    }
    return sizes;
}

std::string UnusedFormName(QPDFPageObjectHelper& page)
{
    QPDFObjectHandle resources = page.getAttribute("/Resources", false);
    int suffix = 0;
    return resources.isDictionary() ? resources.getUniqueResourceName("/Fx", suffix) : std::string("/Fx0");
}

void DrawFormOverPage(QPDF& pdf, QPDFPageObjectHelper& page, QPDFObjectHandle form, const std::string& name)
{
    const QPDFObjectHandle::Rectangle box = page.getTrimBox().getArrayAsRectangle();
    // The page's own content may leave its graphics state changed: it is wrapped in q ... Q.
    page.addPageContents(QPDFObjectHandle::newStream(&pdf, "q\n"), true);
    page.addPageContents(
        QPDFObjectHandle::newStream(&pdf, "\nQ\nq\n" + page.placeFormXObject(form, name, box) + "Q\n"), false);
}

void LayPagesOver(QPDF& pdf, QPDF& overlay)
{
    std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
    std::vector<QPDFPageObjectHelper> layers = QPDFPageDocumentHelper(overlay).getAllPages();
    const std::size_t count = std::min(pages.size(), layers.size());
    for (std::size_t i = 0; i < count; ++i) {
        QPDFPageObjectHelper& page = pages[i];
        const QPDFObjectHandle form = pdf.copyForeignObject(layers[i].getFormXObjectForPage());
        const std::string name = UnusedFormName(page);
        QPDFObjectHandle resources = page.getAttribute("/Resources", true);
        if (!resources.isDictionary()) {
            resources = QPDFObjectHandle::newDictionary();
            page.getObjectHandle().replaceKey("/Resources", resources);
        }
        if (!resources.getKey("/XObject").isDictionary())
            resources.replaceKey("/XObject", QPDFObjectHandle::newDictionary());
        resources.getKey("/XObject").replaceKey(name, form);
        DrawFormOverPage(pdf, page, form, name);
    }
}
