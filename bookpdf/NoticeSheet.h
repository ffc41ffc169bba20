#pragma once

#include <QPageLayout>
#include <QString>

// Writes a one-sheet PDF that stands in the book for a page the engine could not print: it names
// the page and says why. False when the file cannot be written.
bool WriteNoticeSheet(const QString& file, const QString& pageName, const QString& reason, const QPageLayout& layout);
