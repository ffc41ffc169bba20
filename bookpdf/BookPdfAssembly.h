#pragma once

#include "print/PrintOptions.h"

#include <QString>

#include <atomic>
#include <functional>
#include <vector>

// One page of the book as the engine printed it, in reading order.
struct TAssembledPage {
    QString File; // the engine's PDF of the page
    QString Name; // the page's name in the book: the footer's address
    QString Title; // the page's own title; empty when it has none
    int Parent = -1; // the position of the page whose link reached it, or -1
};

// One entry of the outline, when the book's contents give it: a title, the position of the page it
// opens, a place on that page, and the position of the entry it stands under.
struct TOutlineEntry {
    QString Title;
    int Page = 0;
    QString Anchor; // empty: the page's first sheet
    int Parent = -1;
};

// What a whole-book PDF says about itself and puts on every sheet.
struct TBookPdfDesign {
    QString BookTitle;
    QString Author;
    QString Date; // "&d", already in the user's short date format
    TPrintOptions Options;
};

// Puts the pages' PDFs together into one document written to outputFile: the Header and Footer
// laid over every sheet as text, numbered through the whole book, with the page's caption and
// name; the outline given, or without one an entry per page with its title, nested as the pages
// were reached (an entry's anchor leads to the place the page's own document names so, else to
// the page's first sheet); links whose
// target pageOfLink finds among the pages (its position, or -1) turned into links to that page's
// first sheet, other links left as they are; the book's title and author as the document's.
// The document is written front to back, one page's PDF at a time: memory holds one page's
// document, whatever the book's size. False, with error set, on failure or when cancelled
// turns true; outputFile may then hold part of a document.
bool AssembleBookPdf(const std::vector<TAssembledPage>& pages, const std::vector<TOutlineEntry>& outline,
    const TBookPdfDesign& design, const std::function<int(const QString& url)>& pageOfLink, const QString& outputFile,
    const std::atomic_bool& cancelled, QString& error);
