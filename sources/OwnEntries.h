#pragma once

#include <string_view>

// The entries a book keeps for itself beside its pages: its contents ("/.ebook-contents", in older books
// "/.ebook-contents.json") and its search index ("/.search-index/v2/000000", ...), every name under "/.ebook-" or
// "/.search-index/". Letter case is ignored, as the book's lookup ignores it. No folder a book is
// built from holds them (hidden files are left out, and a file under the contents' name is
// refused), so they are not the author's pages: listing and extracting leave them out unless
// asked for, and a book's page count does not count them.
bool IsBookOwnEntry(std::string_view name);
