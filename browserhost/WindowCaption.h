#pragma once

#include <QString>

// The caption for a book titled bookTitle showing a page titled pageTitle: "BOOK - PAGE", the book
// title alone for an untitled page or one titled as the book, and "Untitled eBook" standing in for
// a missing book title.
QString ComposeCaption(const QString& bookTitle, const QString& pageTitle);
