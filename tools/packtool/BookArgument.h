#pragma once

#include "book/OpenedBook.h"

#include <memory>
#include <string>

// OpenBook for a file named on the command line: a file that is no book but an EPUB, a CHM, a ZIM
// or a zip raises the hint that says how to make a book of it instead of "Invalid eBook".
std::unique_ptr<OpenedBook> OpenBookArgument(const std::string& fileName);

// Raises the hint for the file when there is one.
void RaiseNotABookHint(const std::string& fileName);
