#include "book/BookDiagnosis.h"

#include "book/BookFormat.h"
#include "book/BookReader.h"
#include "book/Streamer.h"
#include "common/Exception.h"

std::string WhyNotABook(TStream& stream)
{
    // The same steps as the reader's load, each named when it is the one that fails.
    try {
        TStreamer streamer(stream);
        const int32_t size = streamer.GetSize();
        if (size < kTrailerSize)
            return "no trailer (the file is shorter than 4 bytes)";
        streamer.Seek(size - kTrailerSize);
        int32_t headerOffset = 0;
        streamer.ReadInt32(headerOffset);
        if (headerOffset < 0 || headerOffset >= size - kTrailerSize)
            return "no trailer (its last 4 bytes point outside the file)";
        streamer.Seek(headerOffset);
        std::string magic;
        try {
            streamer.ReadString(magic);
        } catch (const Exception&) {
            magic.clear();
        }
        if (magic != kBookMagic)
            return "wrong magic (no book header where its trailer points)";
    } catch (const Exception&) {
        return "the file cannot be read";
    }
    TBookReader reader;
    if (!reader.LoadFromStream(stream)) {
        // The directory's position is the header's last field: unread, the header itself failed.
        return reader.directoryOffset() == 0 ? "damaged header" : "damaged page directory";
    }
    if (reader.Pages().Count() == 0)
        return "no pages";
    if (!reader.HasHomePage())
        return "no home page (its index lies outside the page directory)";
    return {};
}
