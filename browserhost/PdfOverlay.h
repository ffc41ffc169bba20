#pragma once

#include <QSizeF>

#include <vector>

class QPDF;

// The size in points of each page of a PDF, from its media boxes.
std::vector<QSizeF> PdfPageSizes(QPDF& pdf);

// Lays page i of overlay over page i of pdf, for as many pages as both have, as a form drawn
// after the page's own content: the page's text and drawings stay as they are. The overlay's
// objects are copied into pdf; overlay must outlive the writing of pdf.
void LayPagesOver(QPDF& pdf, QPDF& overlay);
