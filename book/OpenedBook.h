#pragma once

#include "book/BookReader.h"
#include "common/Streams.h"

#include <memory>
#include <string>

// A book file opened read-only and loaded the way the viewer loads it.
struct OpenedBook {
    std::string fileName;
    std::unique_ptr<TFileStream> file; // declared before the reader, which points into it
    TBookReader reader;
};

// Opens a book file for reading only; others may read and write it meanwhile. Raises Exception
// "Cannot open file FILE", with the system's reason on a line of its own.
std::unique_ptr<TFileStream> OpenBookStream(const std::string& fileName);

// Opens and loads a book that must be valid: raises as OpenBookStream, or Exception
// "Invalid eBook: FILE".
std::unique_ptr<OpenedBook> OpenBook(const std::string& fileName);
