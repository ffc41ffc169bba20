#pragma once

#include "sources/BookSource.h"
#include "sources/SourceKind.h"

#include <memory>
#include <string>

// Opens a file or folder of any kind DetectSourceKind knows as a book source: a book file (or a
// program carrying one), an EPUB, a CHM, a ZIM archive or a folder of pages (read as `serve
// SRC_DIR` reads it). Raises Exception naming the path when it is none of them ("NAME is not a
// book: it is none of KINDS"), cannot be opened, or its kind's reader refuses it.
std::unique_ptr<TBookSource> OpenBookSource(const std::string& path);

// How a folder is read. A link in it that leads outside it is not followed unless asked: a folder
// opened to read may be anyone's download, and an author previewing a tree that links shared
// assets says so (--follow-outside).
struct FolderReading {
    bool followOutside = false;
};

// The same for a path whose kind is known already.
std::unique_ptr<TBookSource> OpenBookSource(const std::string& path, ESourceKind kind, FolderReading folder = {});

// The kind of the path, or Exception "NAME is not a book: ..." naming the kinds known.
ESourceKind RequireSourceKind(const std::string& path);
