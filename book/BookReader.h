#pragma once

#include "book/BookTypes.h"
#include "common/Streams.h"
#include "common/StringList.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

// Opens a book container through a stream its owner supplies, reads the header and the page
// directory once, and from then on answers which page is the home page and what a page's
// inflated bytes are. Errors never leave LoadFromStream or ExtractPage: they give false.
// Not safe for concurrent ExtractPage calls: every extraction moves the shared stream's position,
// so the caller serialises them.
class TBookReader {
public:
    TBookReader() = default;
    TBookReader(const TBookReader&) = delete;
    TBookReader& operator=(const TBookReader&) = delete;

    // Reads the header and the directory from the stream, which must outlive the reader. Returns
    // IsValid(). After a failed load the fields hold what was read before the failure.
    bool LoadFromStream(TStream& stream);

    // The name of the entry at homePageIndex (entry 0 for -1). An index outside the directory
    // raises EListError "List index out of bounds (<index>)".
    std::string GetHomePageName() const;
    // Whether homePageIndex names an entry of the directory (-1 naming entry 0).
    bool HasHomePage() const;

    // Looks the name up (letter case ignored in every script, first match wins, nothing trimmed or
    // unescaped; a name in UTF-8 or in Windows-1252 finds a page stored in either) and puts the
    // inflated page into output, which the caller supplies empty. False when the name is unknown
    // or the record cannot be read or inflated; the caller then discards output.
    bool ExtractPage(std::string_view name, TMemoryStream& output);

    // Directory index of the first entry named like `name`, or -1. Takes the same time whatever the
    // entry's place in the directory.
    int IndexOfPage(std::string_view name) const;
    // As ExtractPage, for the entry at a directory index (used to reach duplicates by position).
    bool ExtractPageAt(int index, TMemoryStream& output);
    // The stored length of the entry's record, or -1 when the record cannot be read.
    int32_t StoredLengthAt(int index) const;

    // As ExtractPageAt, safe on several threads at once (with each other, not with a load): it
    // reads the book with positioned reads and a buffer of its own. Servers with many clients use
    // it so that one large page does not hold up the others.
    // With zlibStream, it also receives the stored zlib stream when that is exactly the page in zlib
    // form (one stream that ends with the record and inflates to exactly the page), which is
    // HTTP's deflate coding of the page; it stays empty otherwise.
    bool ExtractPageAtConcurrently(int index, std::string& output, std::string* zlibStream = nullptr) const;
    // The size the entry's page inflates to, read from its record without inflating it; -1 when
    // the record cannot be read or announces a size it cannot hold. Safe on several threads.
    int64_t InflatedSizeAt(int index) const;

    bool IsValid() const { return isValid_; }
    // One item per directory entry, in directory order; the item's object is the record position.
    const TStringList& Pages() const { return pages_; }
    int32_t PageOffset(int index) const { return static_cast<int32_t>(pages_.Objects(index)); }
    const ::DisplaySettings& DisplaySettings() const { return display_; }

    int32_t headerOffset() const { return headerOffset_; }
    int32_t directoryOffset() const { return directoryOffset_; }
    const std::string& title() const { return title_; }
    const std::string& description() const { return description_; }
    bool hasAboutText() const { return hasAboutText_; }
    const std::string& aboutText() const { return aboutText_; }
    bool hasAboutDate() const { return hasAboutDate_; }
    // Days since 30 December 1899, the fraction being the time of day; 0 when absent.
    double aboutDate() const { return aboutDate_; }
    int32_t homePageIndex() const { return homePageIndex_; }
    int32_t auxPageIndex() const { return auxPageIndex_; }
    uint8_t entryExtraMode() const { return entryExtraMode_; }
    uint8_t auxKind() const { return auxKind_; }

private:
    void ResetFields();
    bool Load();
    void ReadHeader(class TStreamer& streamer);
    void ReadDirectory(class TStreamer& streamer);
    // A buffer for one stored record, reused between extractions.
    struct TRecordScratch {
        std::unique_ptr<unsigned char[]> bytes;
        std::size_t size = 0;
        // Makes it hold at least `size` bytes, keeping the first `keep`.
        void Reserve(std::size_t wanted, std::size_t keep);
    };
    bool ExtractRecord(int32_t pageOffset, TMemoryStream& output);
    // Inflates the record into the bytes that makeRoom(size) gives for the page's inflated size.
    bool ExtractRecordInto(int32_t pageOffset, const std::function<unsigned char*(int32_t)>& makeRoom,
        TRecordScratch& scratch, std::string* zlibStream = nullptr) const;

    TStream* stream_ = nullptr; // the book file; owned by whoever called LoadFromStream
    TStringList pages_;
    // The folded name of every entry (FoldedBookText) and the first entry that holds it, built
    // while the directory is read so that a lookup does not walk the directory.
    std::unordered_map<std::string, int> firstPageByFoldedName_;
    int32_t headerOffset_ = 0;
    std::string aboutText_;
    std::string title_;
    std::string description_;
    int32_t homePageIndex_ = 0;
    int32_t auxPageIndex_ = 0; // read and not used
    ::DisplaySettings display_;
    bool hasAboutDate_ = false;
    bool hasAboutText_ = false;
    uint8_t entryExtraMode_ = 0;
    uint8_t auxKind_ = 0;
    uint64_t auxValue_ = 0; // read and not used
    double aboutDate_ = 0;
    int32_t directoryOffset_ = 0;
    bool isValid_ = false;
    // The file's size when it was loaded: every record is checked against it before anything is
    // allocated. A file that shrinks later makes the read itself fail.
    int64_t fileSize_ = 0;
    // Reused between extractions so that a request costs no allocation for the stored body; only
    // ever written and read inside one ExtractRecord call.
    TRecordScratch scratch_;
};
