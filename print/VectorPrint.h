#pragma once

#include "print/HeaderFooterText.h"
#include "print/PrintOptions.h"
#include "print/PrintedPages.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The printed document made from the engine's own PDF of a page: the page stays as the engine
// drew it (text stays text), the options' Header and Footer are laid over each sheet as text, and
// the sheets come in the order and number the request asks for. values gives the window title, address and date; page
// numbers and the page count are the engine PDF's. Empty, with error set, when the engine's PDF cannot be read.
QByteArray VectorPrintedPdf(const QByteArray& enginePdf, const TPrintedPagesRequest& request,
    const TPrintOptions& options, THeaderFooterValues values, QString& error);

// Writes the bytes to path through a temporary file in the same folder renamed at the end, so that
// a failure leaves no half-written file. False, with error set, when that fails.
bool WriteWholeFile(const QString& path, const QByteArray& bytes, QString& error);
