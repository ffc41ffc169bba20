#pragma once

#include <optional>
#include <string>
#include <string_view>

// The kinds of book the viewer and ebook-pack open.
enum class ESourceKind { Book, Epub, Chm, Zim, Folder };

// What the reader is told a file of no known kind could have been.
inline constexpr std::string_view kKnownSourceKinds
    = "an eBook (or a program carrying one), an EPUB, a CHM, a ZIM archive or a folder of pages";

// The file's kind by its content, never by its name: a directory; a book trailer at the end (a
// program carrying a book starts like any program); the CHM and ZIM signatures; a zip archive
// holding an EPUB container. Nothing for a file of none of them or one that cannot be read.
std::optional<ESourceKind> DetectSourceKind(const std::string& path);

// "book", "EPUB", "CHM", "ZIM", "folder".
std::string_view SourceKindName(ESourceKind kind);

// What a file of no kind above holds instead, when a reader can be told how to make a book of it:
// "FILE is a zip archive; unpack it and make a book of the folder with: ebook-pack build FOLDER
// -o BOOK" for a zip archive that holds no EPUB (or is too damaged to tell); "FILE is a damaged
// EPUB: WHAT IS WRONG" for one that begins as an EPUB but cannot be read (cut short, say);
// nothing else.
std::optional<std::string> NotABookHint(const std::string& fileName);

// Whether the file's last 4 bytes point at a book header.
bool HasBookTrailer(const std::string& fileName);
