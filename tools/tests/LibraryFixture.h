#pragma once

#include "common/CommandLine.h"
#include "sources/tests/SampleSources.h"
#include "tools/library/Library.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

// A library of four kinds written by the test: a book file, an EPUB, a ZIM archive and a folder of
// pages, each holding the sample's pages.
struct LibraryFixture {
    LibraryFixture()
    {
        std::filesystem::create_directories(scratch / "books");
        WriteSampleBook(scratch / "books/User Guide.ebook");
        WriteSampleEpub(scratch / "books/novel.epub");
        WriteSampleZim(scratch / "books/wiki.zim");
        WriteSampleFolder(scratch / "notes");
        // A folder page of its own, asked for without its slash to see the move.
        std::ofstream(scratch / "notes/sub/index.html") << "<p>sub</p>";
    }

    // The four, opened and placed on the library's shelf.
    void PlaceAll(TLibrary& library)
    {
        const CommandLine noOptions({}, {});
        library.Place({ library.Open((scratch / "books/User Guide.ebook").string(), noOptions),
            library.Open((scratch / "books/novel.epub").string(), noOptions),
            library.Open((scratch / "books/wiki.zim").string(), noOptions),
            library.Open((scratch / "notes").string(), noOptions) });
    }

    TScratchFolder scratch;
    std::ostringstream err;
};
