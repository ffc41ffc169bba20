#pragma once

#include "BookReader.h"
#include "Streams.h"

#include <memory>
#include <string>

// A book file opened read-only and loaded the way the viewer loads it.
struct OpenedBook {
    std::string fileName;
    std::unique_ptr<TFileStream> file; // declared before the reader, which points into it
    TBookReader reader;
};

// Raises Exception "Cannot open file FILE" (with the reason on a line of its own) or
// "Invalid eBook: FILE".
std::unique_ptr<OpenedBook> OpenBook(const std::string& fileName);
