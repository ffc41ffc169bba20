#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

class TBookSource;

// A page named on the command line, in UTF-8, with or without its leading "/": "index.htm" and
// "/index.htm" both name the page /index.htm.
std::string PageNameOfArgument(std::string_view argument);

// A page a command works on: its index in the source's PageNames() and its name there.
struct TChosenPage {
    std::size_t index = 0;
    std::string name;
};

// The pages `operands` name, each the one the source answers for it under the name it stores it
// ("/C.HTM" finds "/c.htm" in a book); an operand that names none is said on err ("No page PAGE
// in BOOK") and sets `missing`. Without operands every page in the source's order, the book's own
// entries (OwnEntries.h) only when `all` is set.
std::vector<TChosenPage> ChoosePages(TBookSource& source, const std::vector<std::string>& operands, bool all,
    const std::string& bookName, std::ostream& err, bool& missing);
