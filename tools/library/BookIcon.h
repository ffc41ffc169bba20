#pragma once

#include "tools/library/LibraryBook.h"

#include <string>
#include <string_view>

// The picture a library shows beside a book, and its media type.
struct TBookIcon {
    std::string bytes;
    std::string type;
};

// The book's icon: the favicon its pages carry at the top (favicon.ico, .png or .svg), else the
// picture its metadata gives (a ZIM archive's illustration, an EPUB's cover), else one made from
// its name (GeneratedIcon). Never fails: a source that cannot be read gets the generated one.
TBookIcon IconOf(const TLibraryBook& book);

// A square SVG: the first letter of `title` (of `name` when it has none) in white on a colour
// drawn from a hash of `name`, so that a book keeps its colour and neighbours seldom share one.
TBookIcon GeneratedIcon(std::string_view name, std::string_view title);
