// Reads a header block from a connection, as the HTTP listener does after the request line: the
// first input byte picks the buffer chunk and the second how many bytes each receive gives, so that
// lines straddle the buffer's growth and shrink at many places; the rest arrives through a socket
// binding over bytes.

#include "common/StringList.h"
#include "server/listener/NetListener.h"
#include "server/socket/BytesBinding.h"

#include <cstdint>
#include <cstdlib>
#include <exception>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    TBytesBinding bytes;
    const TInstalledSocketBinding installed(bytes);
    const TSocket handle = bytes.Open(std::string(reinterpret_cast<const char*>(data) + 2, size - 2), data[1] % 33);
    TNetServer connection(nullptr);
    // Chunks of 1 to 256 bytes; only a connection without a socket takes a new chunk.
    connection.SetBufferChunk(data[0] + 1);
    connection.SetSocket(handle);
    TStringList headers;
    try {
        connection.ReadHeaders(headers);
        // What follows the block stays buffered and readable, never lost or read twice.
        for (int i = 0; i < 4 && connection.Connected(); ++i)
            connection.ReadLn();
    } catch (const std::exception&) {
        // The peer's end before the empty line, or a block that begins with a continuation.
    }
    if (connection.BufferEnd() < 1 || connection.BufferEnd() > connection.BufferCapacity() + 1)
        std::abort();
    for (const auto& header : headers) {
        // Every entry is one line: line ends only ever end an entry.
        if (header.text.find("\r\n") != std::string::npos)
            std::abort();
    }
    return 0;
}
