#pragma once

#include "common/DisplayText.h"

#include <QString>

// A title or name as a window, a list or a dialog shows it: one line, cut to maxCharacters (see
// common/DisplayText.h). Only the first characters of a long text are converted.
QString CutForDisplay(
    const QString& text, std::size_t maxCharacters = kDisplayTextLength, LineBreaks lineBreaks = LineBreaks::Blank);

// The caption for a book titled bookTitle showing a page titled pageTitle: "BOOK - PAGE", the book
// title alone for an untitled page or one titled as the book, and "Untitled eBook" standing in for
// a missing book title. Each title is cut for display: a caption of megabytes can cost the window
// system its connection.
QString ComposeCaption(const QString& bookTitle, const QString& pageTitle);

// A page title that says nothing of the page: empty, or no more than a file name ("ch003.xhtml",
// "index.html"), as converters leave them. The book's contents then have a better one.
bool TitleSaysNothing(const QString& title);
