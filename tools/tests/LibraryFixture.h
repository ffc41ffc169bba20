#pragma once

#include "common/CommandLine.h"
#include "sources/tests/SampleSources.h"
#include "tools/library/Library.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>

// A library of four kinds written by the test: a book file, an EPUB, a ZIM archive and a folder of
// pages, each holding the sample's pages.
// Text written from the library's own threads (the folder's watch, the books' searches) and read
// by the test meanwhile: every write and every read holds one lock.
class TLockedText : public std::ostream {
public:
    TLockedText()
        : std::ostream(&buffer_)
    {
    }
    std::string str() const
    {
        const std::lock_guard guard(buffer_.lock);
        return buffer_.text;
    }

private:
    struct Buffer : std::streambuf {
        mutable std::mutex lock;
        std::string text;
        int_type overflow(int_type c) override
        {
            if (!traits_type::eq_int_type(c, traits_type::eof())) {
                const std::lock_guard guard(lock);
                text += traits_type::to_char_type(c);
            }
            return c;
        }
        std::streamsize xsputn(const char* bytes, std::streamsize count) override
        {
            const std::lock_guard guard(lock);
            text.append(bytes, static_cast<std::size_t>(count));
            return count;
        }
    } buffer_;
};

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
    TLockedText err;
};
