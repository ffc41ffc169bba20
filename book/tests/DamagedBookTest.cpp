// A small book cut short at every length and damaged by a few thousand single-byte flips, each
// loaded and read page by page as the viewer would: never a crash, and never a page that inflates
// to other bytes than it was written with when the damage lies inside its zlib stream.

#include "book/BookReader.h"
#include "book/BookWriter.h"
#include "common/Exception.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iostream>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

// A few thousand flips cover every byte of the book several times over.
#ifdef EBOOK_DAMAGED_BOOK_FLIPS
constexpr int kFlips = EBOOK_DAMAGED_BOOK_FLIPS;
#else
constexpr int kFlips = 3000;
#endif
constexpr uint32_t kFlipSeed = 20261207;

struct Page {
    std::string name;
    std::string content;
    bool empty = false; // written as a record without a body
};

// A few pages: compressible text, an empty record, a compressed empty page, bytes that deflate
// stores rather than compresses, and a page in a folder.
std::vector<Page> SmallBookPages()
{
    std::string picture;
    std::mt19937 bytes(7);
    for (int i = 0; i < 200; ++i)
        picture += static_cast<char>(bytes() & 0xFF);
    std::string text;
    for (int i = 0; i < 12; ++i)
        text += "<p>Paragraph " + std::to_string(i) + " of the first page.</p>\n";
    return {
        { "/index.htm", "<html><body>" + text + "</body></html>", false },
        { "/empty.htm", "", true },
        { "/blank.htm", "", false },
        { "/pictures/cover.png", picture, false },
        { "/notes.htm", "<p>notes</p>", false },
    };
}

std::string WriteBook(const std::vector<Page>& pages)
{
    TBookWriter writer;
    writer.settings.title = "Damaged";
    writer.settings.description = "A book to break";
    for (const Page& page : pages) {
        if (page.empty)
            writer.AddEmptyPage(page.name);
        else
            writer.AddPage(page.name, page.content);
    }
    TMemoryStream stream;
    writer.SaveToStream(stream);
    return stream.ToString();
}

// Where one record's bytes lie in the file.
struct RecordSpan {
    int64_t start = 0; // storedLength
    int64_t end = 0; // one past the last body byte
    bool HoldsLengths(int64_t at) const { return at >= start && at < std::min(start + 8, end); }
    bool HoldsZlibData(int64_t at) const { return at >= start + 8 && at < end; }
};

// What a reader made of one file.
struct Reading {
    bool valid = false;
    bool homePageFound = false;
    std::vector<std::string> names;
    std::vector<std::optional<std::string>> pages; // nullopt: extraction failed
    std::string title;
    std::string description;
};

Reading Read(const std::string& bytes)
{
    TMemoryStream stream;
    stream.WriteString(bytes);
    stream.SetPosition(0);
    TBookReader reader;
    Reading reading;
    reading.valid = reader.LoadFromStream(stream);
    try {
        reader.GetHomePageName();
        reading.homePageFound = true;
    } catch (const Exception&) {
    }
    reading.title = reader.title();
    reading.description = reader.description();
    for (int i = 0; i < reader.Pages().Count(); ++i) {
        reading.names.push_back(reader.Pages()[i]);
        TMemoryStream page;
        if (reader.ExtractPageAt(i, page))
            reading.pages.emplace_back(page.ToString());
        else
            reading.pages.emplace_back(std::nullopt);
        // The viewer's way in, by name, answers like the first entry of that name.
        TMemoryStream byName;
        const bool found = reader.ExtractPage(reader.Pages()[i], byName);
        const int first = reader.IndexOfPage(reader.Pages()[i]);
        if (first == i) {
            EXPECT_EQ(found ? std::optional(byName.ToString()) : std::nullopt, reading.pages.back());
        }
    }
    return reading;
}

class DamagedBook : public ::testing::Test {
protected:
    DamagedBook()
        : pages_(SmallBookPages())
        , book_(WriteBook(pages_))
    {
        TMemoryStream stream;
        stream.WriteString(book_);
        TBookReader reader;
        EXPECT_TRUE(reader.LoadFromStream(stream));
        for (int i = 0; i < reader.Pages().Count(); ++i) {
            const int32_t stored = reader.StoredLengthAt(i);
            spans_.push_back({ reader.PageOffset(i), int64_t { reader.PageOffset(i) } + 4 + stored });
        }
    }

    bool Intact(const Reading& reading) const
    {
        if (!reading.valid || !reading.homePageFound || reading.names.size() != pages_.size()
            || reading.title != "Damaged" || reading.description != "A book to break")
            return false;
        for (std::size_t i = 0; i < pages_.size(); ++i) {
            if (reading.names[i] != pages_[i].name || reading.pages[i] != pages_[i].content)
                return false;
        }
        return true;
    }

    static bool AnyPageFailed(const Reading& reading)
    {
        for (const auto& page : reading.pages) {
            if (!page)
                return true;
        }
        return !reading.homePageFound;
    }

    std::vector<Page> pages_;
    std::string book_;
    std::vector<RecordSpan> spans_;
};

// Counts of how damaged files read, printed so that a change in the reader's tolerance shows.
struct Tally {
    int invalid = 0;
    int failedPages = 0;
    int intact = 0;
    int altered = 0; // readable, but a value the format does not protect reads differently
};

} // namespace

TEST_F(DamagedBook, EveryPrefixIsInvalidOrReadsOnlyTheWrittenBytes)
{
    ASSERT_GT(book_.size(), 300u);
    Tally tally;
    for (std::size_t length = 0; length < book_.size(); ++length) {
        const Reading reading = Read(book_.substr(0, length));
        if (!reading.valid) {
            ++tally.invalid;
            continue;
        }
        // Only the real header, at 0, carries the magic: whatever a prefix yields comes from the
        // written directory and records, cut or whole.
        ASSERT_EQ(reading.names.size(), pages_.size()) << length;
        for (std::size_t i = 0; i < pages_.size(); ++i) {
            EXPECT_EQ(reading.names[i], pages_[i].name) << length;
            if (reading.pages[i]) {
                EXPECT_EQ(*reading.pages[i], pages_[i].content) << length << " " << pages_[i].name;
            }
        }
        AnyPageFailed(reading) ? ++tally.failedPages : ++tally.intact;
    }
    std::cout << "prefixes: " << book_.size() << ", invalid: " << tally.invalid
              << ", failed pages: " << tally.failedPages << ", intact: " << tally.intact << "\n";
    EXPECT_GT(tally.invalid, 0);
}

// Bytes the reader ignores, so a flip there reads as intact: the unused high bytes of the four
// header values of which only the low byte counts, the compression-level bits of a zlib header
// (whenever the flip keeps its check value), the unused bits that pad the last deflate byte, and
// bytes after the end of a zlib stream that a longer storedLength takes into the body.
//
// Values the format does not protect with any check can change without the reader noticing:
// the header's texts and settings, the page names, a pageOffset that moves to another record, an
// uncompressedSize made larger (the page is padded with zeros, as a stream that ends early is)
// and a storedLength made 0 (an empty page). Inside a zlib stream the Adler-32 check catches the
// damage instead, so there the page fails or inflates to its own bytes.
TEST_F(DamagedBook, ByteFlipsFailOrReadTheWrittenBytesInsideZlibStreams)
{
    std::mt19937 random(kFlipSeed);
    Tally tally;
    int zlibFlips = 0;
    int zlibFlipsCaught = 0;
    for (int flip = 0; flip < kFlips; ++flip) {
        const auto at = static_cast<int64_t>(random() % book_.size());
        const auto mask = static_cast<char>(1 + random() % 255);
        std::string damaged = book_;
        damaged[static_cast<std::size_t>(at)] ^= mask;
        const Reading reading = Read(damaged);
        SCOPED_TRACE("flip " + std::to_string(flip) + " at " + std::to_string(at));

        for (std::size_t i = 0; i < spans_.size(); ++i) {
            const RecordSpan& span = spans_[i];
            if (span.HoldsZlibData(at)) {
                // Load never looks at records: the book stays valid and every other page intact.
                ++zlibFlips;
                ASSERT_TRUE(reading.valid);
                ASSERT_EQ(reading.pages.size(), pages_.size());
                for (std::size_t j = 0; j < pages_.size(); ++j) {
                    if (reading.pages[j]) {
                        EXPECT_EQ(*reading.pages[j], pages_[j].content) << pages_[j].name;
                    }
                }
                zlibFlipsCaught += reading.pages[i] ? 0 : 1;
            } else if (span.HoldsLengths(at) && reading.valid && reading.pages[i]) {
                // A length changed: the page fails, or reads as an empty record, or as its own
                // bytes padded with zeros up to a larger uncompressedSize.
                const std::string& page = *reading.pages[i];
                const std::string& original = pages_[i].content;
                const bool padded = page.size() >= original.size() && page.starts_with(original)
                    && page.find_first_not_of('\0', original.size()) == std::string::npos;
                EXPECT_TRUE(page.empty() || padded) << pages_[i].name;
            }
        }

        if (!reading.valid)
            ++tally.invalid;
        else if (AnyPageFailed(reading))
            ++tally.failedPages;
        else if (Intact(reading))
            ++tally.intact;
        else
            ++tally.altered;
    }
    std::cout << "flips: " << kFlips << ", invalid: " << tally.invalid << ", failed pages: " << tally.failedPages
              << ", intact: " << tally.intact << ", altered: " << tally.altered
              << ", inside zlib streams: " << zlibFlips << " (" << zlibFlipsCaught
              << " caught, the rest in ignored bits)\n";
    // Each kind of outcome occurs, so none of the checks above is vacuous.
    EXPECT_GT(tally.invalid, 0);
    EXPECT_GT(tally.failedPages, 0);
    EXPECT_GT(tally.intact, 0);
    EXPECT_GT(zlibFlipsCaught, 0);
}
