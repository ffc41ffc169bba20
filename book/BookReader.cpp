#include "book/BookReader.h"

#include "book/BookFormat.h"
#include "book/Streamer.h"
#include "common/BookText.h"
#include "common/Exception.h"
#include "common/ReadAheadStream.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <zlib.h>

namespace {

// A record starts with its int32 storedLength.
constexpr int32_t kRecordPrefixSize = 4;

// How much of a record the first read takes: enough for the stored body of a typical page, small
// enough that reading past a short record costs little.
constexpr int64_t kFirstReadSize = 4096;

// A scratch buffer grown beyond this for one large page is given back afterwards, so that one
// big picture does not pin its size in memory for the rest of the session.
constexpr std::size_t kMaxKeptScratchSize = 1024 * 1024;

int32_t Int32At(const unsigned char* bytes)
{
    return static_cast<int32_t>(
        uint32_t { bytes[0] } | uint32_t { bytes[1] } << 8 | uint32_t { bytes[2] } << 16 | uint32_t { bytes[3] } << 24);
}

// Inflates a page body (the int32 inflated length, then one zlib stream) into output, which takes
// exactly the announced length; bytes a short stream does not produce stay zero.
// Whether a body of bodyLength bytes can announce an inflated size: never more than the page bound,
// nor more than deflate can produce from the stored bytes.
bool PlausibleInflatedSize(int32_t uncompressedSize, int64_t bodyLength)
{
    const int64_t dataLength = bodyLength - kBodyPrefixSize;
    return uncompressedSize >= 0 && uncompressedSize <= kMaxPageSize
        && uncompressedSize <= (dataLength + 1) * kMaxInflateRatio;
}

bool InflatePage(const unsigned char* body, int32_t bodyLength, const std::function<unsigned char*(int32_t)>& makeRoom,
    std::string* zlibStream = nullptr)
{
    const int32_t uncompressedSize = Int32At(body);
    const int64_t dataLength = bodyLength - kBodyPrefixSize;
    if (!PlausibleInflatedSize(uncompressedSize, bodyLength))
        return false;
    unsigned char* room = makeRoom(uncompressedSize);
    // zlib wants a writable destination even for an empty page.
    unsigned char emptyPage = 0;
    unsigned char* destination = uncompressedSize > 0 ? room : &emptyPage;
    uLongf destinationLength = static_cast<uLongf>(uncompressedSize);
    uLong consumed = static_cast<uLong>(dataLength);
    const int result = uncompress2(destination, &destinationLength, body + kBodyPrefixSize, &consumed);
    if (result != Z_OK)
        return false;
    // The stored stream is the page in zlib form only when it ends exactly with the body and
    // inflates to exactly the announced length: no bytes after it, no zeros made up for it.
    if (zlibStream != nullptr && consumed == static_cast<uLong>(dataLength)
        && destinationLength == static_cast<uLongf>(uncompressedSize))
        zlibStream->assign(reinterpret_cast<const char*>(body + kBodyPrefixSize), static_cast<std::size_t>(dataLength));
    // A stream that ends early leaves the rest of the announced length; it must read as zeros
    // even in an output stream that was handed over non-empty.
    if (destinationLength < static_cast<uLongf>(uncompressedSize))
        std::memset(destination + destinationLength, 0, uncompressedSize - destinationLength);
    return true;
}

} // namespace

bool TBookReader::LoadFromStream(TStream& stream)
{
    // A reader normally loads once; a second load starts from a clean state all the same.
    ResetFields();
    stream_ = &stream;
    isValid_ = Load();
    return isValid_;
}

void TBookReader::ResetFields()
{
    pages_.Clear();
    firstPageByFoldedName_.clear();
    headerOffset_ = 0;
    aboutText_.clear();
    title_.clear();
    description_.clear();
    homePageIndex_ = 0;
    auxPageIndex_ = 0;
    display_ = {};
    hasAboutDate_ = false;
    hasAboutText_ = false;
    entryExtraMode_ = 0;
    auxKind_ = 0;
    auxValue_ = 0;
    aboutDate_ = 0;
    directoryOffset_ = 0;
    isValid_ = false;
    fileSize_ = 0;
}

bool TBookReader::Load()
{
    try {
        TReadAheadStream ahead(*stream_);
        TStreamer streamer(ahead);
        const int32_t size = streamer.GetSize();
        fileSize_ = size;
        if (size < kTrailerSize)
            return false;
        streamer.Seek(size - kTrailerSize);
        streamer.ReadInt32(headerOffset_);
        streamer.Seek(headerOffset_);
        std::string magic;
        streamer.ReadString(magic);
        if (magic != kBookMagic)
            return false;
        ReadHeader(streamer);
        ReadDirectory(streamer);
        return true;
    } catch (...) {
        return false;
    }
}

void TBookReader::ReadHeader(TStreamer& streamer)
{
    streamer.ReadString(title_);
    streamer.ReadString(description_);
    uint8_t flag = 0;
    streamer.ReadByte(flag);
    hasAboutText_ = flag != 0;
    if (hasAboutText_)
        streamer.ReadString(aboutText_);
    streamer.ReadByte(flag);
    hasAboutDate_ = flag != 0;
    if (hasAboutDate_) {
        uint64_t bits = 0;
        streamer.Read64(bits);
        aboutDate_ = std::bit_cast<double>(bits);
    }

    // Four header values are int32 of which only the low byte counts: a stored 256 reads as 0.
    int32_t stored = 0;
    streamer.ReadInt32(stored);
    display_.sizeMode = static_cast<WindowSizeMode>(stored & 0xFF);
    streamer.ReadInt32(stored);
    display_.positionMode = static_cast<WindowPositionMode>(stored & 0xFF);
    if (display_.sizeMode == WindowSizeMode::Normal) {
        if (display_.positionMode == WindowPositionMode::Custom) {
            streamer.ReadInt32(display_.windowLeft);
            streamer.ReadInt32(display_.windowTop);
        }
        streamer.ReadInt32(display_.windowWidth);
        streamer.ReadInt32(display_.windowHeight);
    }
    streamer.ReadInt32(stored);
    entryExtraMode_ = static_cast<uint8_t>(stored & 0xFF);
    streamer.ReadInt32(stored);
    auxKind_ = static_cast<uint8_t>(stored & 0xFF);
    if (auxKind_ == 1) {
        int32_t aux4 = 0;
        streamer.ReadInt32(aux4);
        auxValue_ = static_cast<uint32_t>(aux4);
    } else if (auxKind_ == 2) {
        streamer.Read64(auxValue_);
    }

    streamer.ReadByte(flag);
    display_.showMenu = flag != 0;
    streamer.ReadByte(flag);
    display_.showToolbar = flag != 0;
    streamer.ReadByte(flag);
    display_.resizable = flag != 0;
    streamer.ReadByte(flag);
    display_.allowPrint = flag != 0;
    streamer.ReadByte(flag);
    display_.allowContextMenu = flag != 0;
    streamer.ReadInt32(homePageIndex_);
    streamer.ReadInt32(auxPageIndex_);
    streamer.ReadInt32(directoryOffset_);
}

void TBookReader::ReadDirectory(TStreamer& streamer)
{
    streamer.Seek(directoryOffset_);
    int32_t entryCount = 0;
    streamer.ReadInt32(entryCount);
    // Each entry takes at least 8 bytes, so a hostile count ends at the end of the file.
    for (int32_t i = 0; i < entryCount; ++i) {
        std::string name;
        int32_t pageOffset = 0;
        streamer.ReadString(name);
        streamer.ReadInt32(pageOffset);
        if (entryExtraMode_ != 0) {
            uint8_t ignored = 0;
            streamer.ReadByte(ignored);
        }
        firstPageByFoldedName_.emplace(FoldedBookText(name), pages_.Count());
        pages_.AddObject(std::move(name), pageOffset);
    }
}

std::string TBookReader::GetHomePageName() const
{
    const int index = homePageIndex_ == -1 ? 0 : homePageIndex_;
    return pages_.Strings(index);
}

bool TBookReader::HasHomePage() const
{
    const int index = homePageIndex_ == -1 ? 0 : homePageIndex_;
    return index >= 0 && index < pages_.Count();
}

int TBookReader::IndexOfPage(std::string_view name) const
{
    const auto found = firstPageByFoldedName_.find(FoldedBookText(name));
    return found == firstPageByFoldedName_.end() ? -1 : found->second;
}

bool TBookReader::ExtractPage(std::string_view name, TMemoryStream& output)
{
    return ExtractPageAt(IndexOfPage(name), output);
}

bool TBookReader::ExtractPageAt(int index, TMemoryStream& output)
{
    if (index < 0 || index >= pages_.Count())
        return false;
    return ExtractRecord(PageOffset(index), output);
}

int32_t TBookReader::StoredLengthAt(int index) const
{
    if (stream_ == nullptr || index < 0 || index >= pages_.Count() || PageOffset(index) < 0)
        return -1;
    // A positioned read, so that it is safe beside the extractions of other threads.
    unsigned char length[kRecordPrefixSize];
    if (stream_->ReadAt(PageOffset(index), length, sizeof length) < static_cast<int64_t>(sizeof length))
        return -1;
    return Int32At(length);
}

void TBookReader::TRecordScratch::Reserve(std::size_t wanted, std::size_t keep)
{
    if (wanted <= size)
        return;
    auto grown = std::make_unique_for_overwrite<unsigned char[]>(wanted);
    if (keep > 0)
        std::memcpy(grown.get(), bytes.get(), keep);
    bytes = std::move(grown);
    size = wanted;
}

namespace {

// Room for an inflated page in a memory stream or a string of exactly its size.
unsigned char* RoomIn(TMemoryStream& output, int32_t size)
{
    output.SetSize(size);
    return output.Memory();
}

unsigned char* RoomIn(std::string& output, int32_t size)
{
    output.resize(static_cast<std::size_t>(size));
    return reinterpret_cast<unsigned char*>(output.data());
}

} // namespace

bool TBookReader::ExtractRecord(int32_t pageOffset, TMemoryStream& output)
{
    const bool extracted = ExtractRecordInto(
        pageOffset, [&](int32_t size) { return RoomIn(output, size); }, scratch_);
    if (scratch_.size > kMaxKeptScratchSize)
        scratch_ = TRecordScratch();
    return extracted;
}

bool TBookReader::ExtractPageAtConcurrently(int index, std::string& output, std::string* zlibStream) const
{
    if (index < 0 || index >= pages_.Count())
        return false;
    TRecordScratch scratch;
    return ExtractRecordInto(
        PageOffset(index), [&](int32_t size) { return RoomIn(output, size); }, scratch, zlibStream);
}

int64_t TBookReader::InflatedSizeAt(int index) const
{
    if (stream_ == nullptr || index < 0 || index >= pages_.Count())
        return -1;
    const int32_t pageOffset = PageOffset(index);
    unsigned char prefix[kRecordPrefixSize + kBodyPrefixSize];
    if (pageOffset < 0 || pageOffset > fileSize_ - kRecordPrefixSize)
        return -1;
    const int64_t got = stream_->ReadAt(pageOffset, prefix, sizeof prefix);
    if (got < kRecordPrefixSize)
        return -1;
    const int32_t storedLength = Int32At(prefix);
    if (storedLength == 0)
        return 0;
    if (got < static_cast<int64_t>(sizeof prefix) || storedLength < kBodyPrefixSize
        || int64_t { pageOffset } + kRecordPrefixSize + storedLength > fileSize_)
        return -1;
    const int32_t size = Int32At(prefix + kRecordPrefixSize);
    return PlausibleInflatedSize(size, storedLength) ? size : -1;
}

bool TBookReader::ExtractRecordInto(int32_t pageOffset, const std::function<unsigned char*(int32_t)>& makeRoom,
    TRecordScratch& scratch, std::string* zlibStream) const
{
    if (stream_ == nullptr)
        return false;
    try {
        if (pageOffset < 0 || pageOffset > fileSize_ - kRecordPrefixSize)
            return false;
        // One read takes the length prefix and, for most pages, the whole body with it.
        const int64_t firstRead = std::min<int64_t>(kFirstReadSize, fileSize_ - pageOffset);
        scratch.Reserve(static_cast<std::size_t>(firstRead), 0);
        const int64_t got = stream_->ReadAt(pageOffset, scratch.bytes.get(), firstRead);
        if (got < kRecordPrefixSize)
            return false;
        const int32_t storedLength = Int32At(scratch.bytes.get());
        if (storedLength == 0)
            return true;
        // Checked before anything is allocated: the body must hold its own length prefix and lie
        // inside the file.
        const int64_t recordEnd = int64_t { pageOffset } + kRecordPrefixSize + storedLength;
        if (storedLength < kBodyPrefixSize || recordEnd > fileSize_)
            return false;
        const auto recordSize = static_cast<std::size_t>(kRecordPrefixSize + storedLength);
        if (got < static_cast<int64_t>(recordSize)) {
            scratch.Reserve(recordSize, static_cast<std::size_t>(got));
            const int64_t rest = static_cast<int64_t>(recordSize) - got;
            if (stream_->ReadAt(pageOffset + got, scratch.bytes.get() + got, rest) != rest)
                return false;
        }
        return InflatePage(scratch.bytes.get() + kRecordPrefixSize, storedLength, makeRoom, zlibStream);
    } catch (...) {
        return false;
    }
}
