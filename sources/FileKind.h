#pragma once

#include <optional>
#include <string>
#include <string_view>

// What a file given where a book is expected holds instead, told by its first bytes (and for a
// zip, by the container file an EPUB carries).
enum class TFileKind { Other, Epub, Chm, Zim, Zip };

// Reads only regular files; anything else (a folder, a FIFO, a missing file) is Other.
TFileKind KindOfFile(const std::string& fileName);

// "FILE is an EPUB; make a book of it with: ebook-pack build FILE -o BOOK", or the matching words
// for a CHM, a ZIM or a zip; nothing for a file of another kind.
std::optional<std::string> NotABookHint(const std::string& fileName);
