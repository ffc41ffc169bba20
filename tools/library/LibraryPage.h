#pragma once

#include "tools/library/LibraryBook.h"

#include <string>
#include <string_view>

// The library's home page: a search box over every book (GET ROOT/.search, titles suggested from
// ROOT/.suggest while the reader types when script runs), links that show the books of one
// language, and each book's icon, title (a link to ROOT/NAME/), description, language and page
// count. Readable without script and on a phone; every text of a book is escaped.
// `language` shows only the books in it (IsLanguage); every book when empty.
std::string LibraryPage(const TLibraryShelf& shelf, std::string_view urlRoot, std::string_view language);

// A small page to put in a frame or open beside a book: a link back to the library and a search
// box over every book.
std::string LibraryBar(std::string_view urlRoot);
