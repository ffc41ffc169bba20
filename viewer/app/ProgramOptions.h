#pragma once

#include "book/OwnExecutable.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

// What the command line asks of the viewer, read before anything else starts. The book file is
// the first argument that the toolkit leaves (it takes its own options, such as -platform).
struct ProgramOptions {
    // Set when the program only answers --help or --version and ends with this status.
    std::optional<int> exitStatus;
    // --export-pdf OUT [BOOK]: the PDF file to write the whole book into, without a window.
    std::optional<std::string> exportPdf;
    // The book of --export-pdf; empty for the program's own.
    std::string exportBook;
    // --all-pages after --export-pdf: the pages the contents do not name follow theirs.
    bool allPages = false;
    // --reading-style FILE.css [BOOK]: the reader's own style sheet over the book's for this run.
    std::optional<std::string> readingStyle;
    // --follow-outside FOLDER: links in the folder that lead outside it are followed.
    bool followOutside = false;
};

// Answers --help and --version on out; an unknown option gets a short hint on err and status 2.
ProgramOptions ReadProgramOptions(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
