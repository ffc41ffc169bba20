#include "book/Streamer.h"

#include "common/Exception.h"

#include <cstdint>

namespace {

// The largest file a container can live in: its positions are signed 32-bit values.
constexpr int64_t kMaxContainerFileSize = INT32_MAX;

} // namespace

int32_t TStreamer::GetPosition()
{
    return static_cast<int32_t>(stream_.Position());
}

int32_t TStreamer::GetSize()
{
    const int64_t size = stream_.Size();
    if (size > kMaxContainerFileSize)
        throw EReadError("File too large for a book container");
    return static_cast<int32_t>(size);
}

void TStreamer::Seek(int32_t position)
{
    if (position < 0 || position > stream_.Size())
        throw EReadError("Stream read error");
    stream_.SetPosition(position);
}

int64_t TStreamer::BytesLeft()
{
    return stream_.Size() - stream_.Position();
}

void TStreamer::ReadByte(uint8_t& value)
{
    uint8_t byte = 0;
    stream_.ReadBuffer(&byte, 1);
    value = byte;
}

void TStreamer::ReadInt32(int32_t& value)
{
    uint8_t bytes[4];
    stream_.ReadBuffer(bytes, sizeof bytes);
    const uint32_t bits = uint32_t { bytes[0] } | uint32_t { bytes[1] } << 8 | uint32_t { bytes[2] } << 16
        | uint32_t { bytes[3] } << 24;
    value = static_cast<int32_t>(bits);
}

void TStreamer::Read64(uint64_t& value)
{
    uint8_t bytes[8];
    stream_.ReadBuffer(bytes, sizeof bytes);
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = bits << 8 | bytes[i];
    value = bits;
}

void TStreamer::ReadString(std::string& value)
{
    int32_t count = 0;
    ReadInt32(count);
    if (count <= 0) {
        value.clear();
        return;
    }
    if (count > BytesLeft())
        throw EReadError("Stream read error");
    std::string text(static_cast<std::size_t>(count), '\0');
    stream_.ReadBuffer(text.data(), count);
    value = std::move(text);
}
