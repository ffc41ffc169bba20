#pragma once

#include <ostream>
#include <string>

// `ebook --export-pdf OUT [BOOK] [--all-pages]`: writes the whole book (the program's own without
// BOOK; any kind the viewer opens) into the PDF file OUT without showing a window, with a progress line on err. Needs
// the application object. Gives the exit status: 0 once OUT is written, 1 with a message naming the file otherwise, and
// then OUT is not touched. allPages adds the pages the contents do not name after theirs.
int RunPdfExport(const std::string& outputFile, const std::string& bookFile, std::ostream& err, bool allPages = false);
