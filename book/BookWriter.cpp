#include "BookWriter.h"

#include "BookFormat.h"
#include "Exception.h"

#include <bit>
#include <zlib.h>

namespace {

constexpr int64_t kMaxPosition = INT32_MAX;

// Appends values in the container's little-endian encoding.
class TByteSink {
public:
    explicit TByteSink(std::string& out)
        : out_(out)
    {
    }

    void Byte(uint8_t value) { out_.push_back(static_cast<char>(value)); }
    void Flag(bool value) { Byte(value ? 1 : 0); }
    void Int32(int32_t value)
    {
        const auto bits = static_cast<uint32_t>(value);
        for (int shift = 0; shift < 32; shift += 8)
            Byte(static_cast<uint8_t>(bits >> shift));
    }
    void Int64Bits(uint64_t bits)
    {
        for (int shift = 0; shift < 64; shift += 8)
            Byte(static_cast<uint8_t>(bits >> shift));
    }
    void String(std::string_view text)
    {
        if (text.size() > static_cast<std::size_t>(kMaxPosition))
            throw Exception("Text too long for a book container");
        Int32(static_cast<int32_t>(text.size()));
        out_.append(text);
    }

private:
    std::string& out_;
};

int32_t CheckedPosition(int64_t position)
{
    if (position < 0 || position > kMaxPosition)
        throw Exception("Book too large: positions beyond 2 GiB cannot be stored");
    return static_cast<int32_t>(position);
}

} // namespace

void TBookWriter::AddPage(std::string name, std::string_view content)
{
    if (content.size() > static_cast<std::size_t>(kMaxPageSize))
        throw Exception("Page too large for a book container: " + name);
    uLongf compressedLength = compressBound(static_cast<uLong>(content.size()));
    std::string body;
    TByteSink(body).Int32(static_cast<int32_t>(content.size()));
    body.resize(kBodyPrefixSize + compressedLength);
    const int result = compress2(reinterpret_cast<Bytef*>(body.data() + kBodyPrefixSize), &compressedLength,
        reinterpret_cast<const Bytef*>(content.data()), static_cast<uLong>(content.size()), compressionLevel);
    if (result != Z_OK)
        throw Exception("Cannot compress page " + name + " (zlib error " + std::to_string(result) + ")");
    body.resize(kBodyPrefixSize + compressedLength);
    body.shrink_to_fit();
    pages_.push_back(Page { std::move(name), std::move(body) });
}

void TBookWriter::AddEmptyPage(std::string name)
{
    pages_.push_back(Page { std::move(name), std::string() });
}

std::string TBookWriter::EncodeHeader(int64_t directoryOffset) const
{
    std::string header;
    TByteSink out(header);
    out.String(kBookMagic);
    out.String(settings.title);
    out.String(settings.description);
    out.Flag(settings.hasAboutText);
    if (settings.hasAboutText)
        out.String(settings.aboutText);
    out.Flag(settings.hasAboutDate);
    if (settings.hasAboutDate)
        out.Int64Bits(std::bit_cast<uint64_t>(settings.aboutDate));
    const DisplaySettings& display = settings.display;
    out.Int32(static_cast<uint8_t>(display.sizeMode));
    out.Int32(static_cast<uint8_t>(display.positionMode));
    if (display.sizeMode == WindowSizeMode::Normal) {
        if (display.positionMode == WindowPositionMode::Custom) {
            out.Int32(display.windowLeft);
            out.Int32(display.windowTop);
        }
        out.Int32(display.windowWidth);
        out.Int32(display.windowHeight);
    }
    out.Int32(0); // entryExtraMode: entries carry no extra byte
    out.Int32(0); // auxKind: no auxValue
    out.Flag(display.showMenu);
    out.Flag(display.showToolbar);
    out.Flag(display.resizable);
    out.Flag(display.allowPrint);
    out.Flag(display.allowContextMenu);
    out.Int32(settings.homePageIndex);
    out.Int32(0); // auxPageIndex
    out.Int32(CheckedPosition(directoryOffset));
    return header;
}

void TBookWriter::SaveToStream(TStream& stream) const
{
    const int64_t base = stream.Position();
    // The header's size does not depend on the directory position it holds, so one dry run gives
    // where the records start.
    const int64_t headerSize = static_cast<int64_t>(EncodeHeader(0).size());
    int64_t position = base + headerSize;
    std::string directory;
    TByteSink entries(directory);
    entries.Int32(static_cast<int32_t>(pages_.size()));
    for (const Page& page : pages_) {
        entries.String(page.name);
        entries.Int32(CheckedPosition(position));
        position += kBodyPrefixSize + static_cast<int64_t>(page.body.size());
    }
    const int64_t directoryOffset = position;
    CheckedPosition(directoryOffset + static_cast<int64_t>(directory.size()) + kTrailerSize);

    stream.WriteString(EncodeHeader(directoryOffset));
    for (const Page& page : pages_) {
        std::string length;
        TByteSink(length).Int32(static_cast<int32_t>(page.body.size()));
        stream.WriteString(length);
        stream.WriteString(page.body);
    }
    stream.WriteString(directory);
    std::string trailer;
    TByteSink(trailer).Int32(CheckedPosition(base));
    stream.WriteString(trailer);
}
