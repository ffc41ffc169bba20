#pragma once

#include "sources/EpubPackage.h"

#include <string>
#include <vector>

// The documents of an EPUB that are its own table of contents, as archive paths: the one its
// guide names ("toc"), and an early document of the reading order that is mostly links to the
// documents the navigation names (an EPUB 2 often opens on such a page and marks it nowhere).
// Such a page only leads to others: a search that listed it would list every chapter title twice.
std::vector<std::string> EpubOwnContentsPages(const EpubPackage& package, const EpubFileReader& read);
