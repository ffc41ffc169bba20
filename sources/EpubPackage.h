#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

// One entry of an EPUB's table of contents.
struct EpubNavPoint {
    std::string label;
    std::string path; // the archive path it leads to; empty for a heading without a link
    std::string fragment; // "#..." as written, or empty
    std::vector<EpubNavPoint> children;
};

// What a book is made from an EPUB 2 or 3 needs of its package document and navigation.
struct EpubPackage {
    std::string packagePath; // the package document (.opf)
    std::string ncxPath; // the EPUB 2 navigation file, or empty
    std::string navPath; // the EPUB 3 navigation document, or empty
    std::string title, description, date, language;
    std::vector<std::string> creators;
    std::vector<std::string> spine; // archive paths of the documents, in reading order
    std::string coverPage; // a document showing the cover, or empty
    std::string coverImage; // the cover picture, or empty
    std::vector<EpubNavPoint> contents; // from the navigation document, else the NCX
    std::string guideContents; // the document the guide names as the table of contents, or empty
};

// Gives a file of the EPUB by its archive path, or nothing when there is none.
using EpubFileReader = std::function<std::optional<std::string>(const std::string& path)>;

// Reads META-INF/container.xml, the package document it names and the navigation (the EPUB 3
// navigation document, else the NCX). Raises Exception naming `source` when the container or the
// package document is missing or is not XML; navigation that cannot be read leaves `contents`
// empty.
EpubPackage ReadEpubPackage(const EpubFileReader& read, const std::string& source);

// The archive path an href in the file at `base` leads to, with "." and ".." steps resolved and
// percent escapes decoded; nothing for a link out of the book (a URL with a scheme, or one that
// climbs above the archive). `fragment` receives "#..." when the href has one.
std::optional<std::string> ResolveEpubHref(const std::string& base, const std::string& href, std::string* fragment);
