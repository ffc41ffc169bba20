#pragma once

class QPainter;
class QPdfDocument;
class QTransform;

// Writes the text of a PDF page as invisible text over its printed picture, line by line at the
// line's place, so that a page printed into a PDF file can still be searched and its text copied
// (the picture itself is only pixels). pageToDevice maps the page's points onto the painter.
void DrawInvisiblePageText(QPainter& painter, QPdfDocument& document, int page, const QTransform& pageToDevice);
