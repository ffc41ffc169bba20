#include "BookReader.h"

#include "BookFormat.h"
#include "Exception.h"
#include "Streamer.h"

#include <bit>
#include <memory>
#include <zlib.h>

namespace {

int32_t Int32At(const unsigned char* bytes)
{
    return static_cast<int32_t>(uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16
        | uint32_t{bytes[3]} << 24);
}

// Inflates a page body (the int32 inflated length, then one zlib stream) into output, which takes
// exactly the announced length; bytes a short stream does not produce stay zero.
bool InflatePage(const unsigned char* body, int32_t bodyLength, TMemoryStream& output)
{
    const int32_t uncompressedSize = Int32At(body);
    const int64_t dataLength = bodyLength - kBodyPrefixSize;
    if (uncompressedSize < 0 || uncompressedSize > kMaxPageSize
        || uncompressedSize > (dataLength + 1) * kMaxInflateRatio)
        return false;
    output.SetSize(uncompressedSize);
    // zlib wants a writable destination even for an empty page.
    unsigned char emptyPage = 0;
    unsigned char* destination = uncompressedSize > 0 ? output.Memory() : &emptyPage;
    uLongf destinationLength = static_cast<uLongf>(uncompressedSize);
    const int result = uncompress(destination, &destinationLength, body + kBodyPrefixSize, static_cast<uLong>(dataLength));
    return result == Z_OK;
}

} // namespace

bool TBookReader::LoadFromStream(TStream& stream)
{
    stream_ = &stream;
    IsValid_ = Load();
    return IsValid_;
}

bool TBookReader::Load()
{
    try {
        TStreamer streamer(*stream_);
        const int32_t size = streamer.GetSize();
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
        Pages_.AddObject(std::move(name), pageOffset);
    }
}

std::string TBookReader::GetHomePageName() const
{
    const int index = homePageIndex_ == -1 ? 0 : homePageIndex_;
    return Pages_.Strings(index);
}

bool TBookReader::ExtractPage(std::string_view name, TMemoryStream& output)
{
    const int index = Pages_.IndexOf(name);
    if (index < 0)
        return false;
    return ExtractRecord(PageOffset(index), output);
}

bool TBookReader::ExtractPageAt(int index, TMemoryStream& output)
{
    if (index < 0 || index >= Pages_.Count())
        return false;
    return ExtractRecord(PageOffset(index), output);
}

int32_t TBookReader::StoredLengthAt(int index)
{
    if (stream_ == nullptr || index < 0 || index >= Pages_.Count())
        return -1;
    try {
        TStreamer streamer(*stream_);
        streamer.Seek(PageOffset(index));
        int32_t storedLength = 0;
        streamer.ReadInt32(storedLength);
        return storedLength;
    } catch (...) {
        return -1;
    }
}

bool TBookReader::ExtractRecord(int32_t pageOffset, TMemoryStream& output)
{
    if (stream_ == nullptr)
        return false;
    try {
        TStreamer streamer(*stream_);
        streamer.Seek(pageOffset);
        int32_t storedLength = 0;
        streamer.ReadInt32(storedLength);
        if (storedLength == 0)
            return true;
        // Checked before anything is allocated: the body must hold its length prefix and lie
        // inside the file.
        if (storedLength < kBodyPrefixSize || storedLength > streamer.BytesLeft())
            return false;
        // The body goes straight from the file into one buffer and is inflated from there.
        auto body = std::make_unique_for_overwrite<unsigned char[]>(static_cast<std::size_t>(storedLength));
        stream_->ReadBuffer(body.get(), storedLength);
        return InflatePage(body.get(), storedLength, output);
    } catch (...) {
        return false;
    }
}
