#pragma once

#include "book/BookReader.h"
#include "common/Streams.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

// A book written in memory by the tests and loaded as the viewer loads one.
struct SearchBook {
    TMemoryStream file; // declared before the reader, which reads it
    TBookReader reader;
};

using BookPages = std::vector<std::pair<std::string, std::string>>; // name, bytes

std::unique_ptr<SearchBook> MakeSearchBook(const BookPages& pages);

// Breaks the zlib checksum of the named page's record, so that it no longer inflates.
void DamagePage(SearchBook& book, const std::string& name);

// An HTML page with a title and body markup.
std::string HtmlPage(const std::string& title, const std::string& body);
