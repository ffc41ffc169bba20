#pragma once

#include "pageservice/Answer.h"
#include "tools/library/LibraryBook.h"

#include <memory>
#include <string_view>
#include <vector>

class THTTPRequestInfo;

// Search across the books of a library. `urlRoot` ("" or "/prefix") begins every link written;
// a book's pages are linked under ROOT/NAME/.

// The books `book=NAME` (repeatable) in the query string chooses, in shelf order; every book when
// it names none.
std::vector<std::shared_ptr<const TLibraryBook>> ChosenBooks(const TLibraryShelf& shelf, std::string_view query);

// /.search?q=WORDS: the pages of the chosen books that hold the words, best first, each naming its
// book; an HTML page, or with format=json the single book's JSON with "book", "bookTitle" and
// "bookLink" added to each result; start=N and limit=N page through them. Each book's own ranks
// are kept: the scores of different indexes do not compare, so hits are merged rank by rank, the
// higher score first among hits of the same rank. Books that cannot be searched are passed over.
TAnswer AnswerLibrarySearch(const TLibraryShelf& shelf, const THTTPRequestInfo& request, std::string_view urlRoot);

// /.suggest?q=WORDS: as JSON, the page titles of the chosen books that begin with the words,
// merged rank by rank, each naming its book; limit=N of them.
TAnswer AnswerLibrarySuggestions(const TLibraryShelf& shelf, const THTTPRequestInfo& request, std::string_view urlRoot);
