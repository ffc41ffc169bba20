#pragma once

#include <QString>

#include <optional>
#include <ostream>
#include <string>

// The reader's own style sheet for this run: the file given with --reading-style, else the one
// EBOOK_READING_STYLE names, else none (empty). A file given on the command line that cannot be
// read ends the program (nullopt, the reason on err); one from the environment only gets a warning.
std::optional<QString> StartingReadingSheet(const std::optional<std::string>& optionFile, std::ostream& err);
