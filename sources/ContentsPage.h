#pragma once

#include "sources/EpubPackage.h"

#include <functional>
#include <string>

// A page name as a link: "/" and unreserved characters as they are, every other byte as a
// percent escape (so UTF-8 names reach the server the way a browser would send them).
std::string LinkToPage(const std::string& archivePath);

// The home page of a book made from an EPUB: its title and authors, the cover first when there is
// one, the table of contents as nested lists, and then, in reading order, every document of the
// spine the contents do not link, so that every chapter is reachable. `labelOf` names such a
// document (its <title>, say).
std::string EpubContentsPage(const EpubPackage& package, const std::function<std::string(const std::string&)>& labelOf);
