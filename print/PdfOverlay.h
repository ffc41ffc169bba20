#pragma once

#include <QSizeF>

#include <string>
#include <vector>

class QPDF;
class QPDFObjectHandle;
class QPDFPageObjectHelper;

// The size in points of each page of a PDF, from its media boxes.
std::vector<QSizeF> PdfPageSizes(QPDF& pdf);

// Lays page i of overlay over page i of pdf, for as many pages as both have, as a form drawn
// after the page's own content: the page's text and drawings stay as they are. The overlay's
// objects are copied into pdf; overlay must outlive the writing of pdf.
void LayPagesOver(QPDF& pdf, QPDF& overlay);

// A resource name for a form that the page's resources do not use yet.
std::string UnusedFormName(QPDFPageObjectHelper& page);
// Draws form, fitted to the page's trim box, after the page's own content, by the resource name
// `name`; the caller puts the form into the page's XObject resources under that name.
void DrawFormOverPage(QPDF& pdf, QPDFPageObjectHelper& page, QPDFObjectHandle form, const std::string& name);
