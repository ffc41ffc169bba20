#pragma once

#include "common/Streams.h"

#include <cstdint>
#include <string>

// Reads the container's primitive values (little-endian int32, bytes, 8-byte slots, counted
// strings) from a stream it does not own. Every read either delivers all of its bytes or raises
// EReadError, so no value is ever built from bytes that were not in the file.
class TStreamer {
public:
    explicit TStreamer(TStream& stream)
        : stream_(stream)
    {
    }

    int32_t GetPosition();
    // Raises EReadError for a stream longer than a container's 31-bit positions can address.
    int32_t GetSize();
    // Positions outside 0 .. size raise EReadError: a stored position that points out of the file
    // is damage, not something to seek to.
    void Seek(int32_t position);

    void ReadByte(uint8_t& value);
    void ReadInt32(int32_t& value);
    // The 8 bytes as stored, little-endian (the aboutDate double and the ignored auxValue).
    void Read64(uint64_t& value);
    // An int32 count, then that many bytes; a count of 0 or less is the empty string and reads no
    // text. A count larger than what is left of the stream raises before anything is allocated.
    void ReadString(std::string& value);

    // Bytes between the position and the end of the stream.
    int64_t BytesLeft();

private:
    TStream& stream_;
};
