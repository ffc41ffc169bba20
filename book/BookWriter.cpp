#include "book/BookWriter.h"

#include "book/BookFormat.h"
#include "common/Exception.h"

#include <bit>

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

std::string EncodeHeader(const BookHeaderSettings& settings, int64_t directoryOffset)
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

} // namespace

TBookStreamWriter::TBookStreamWriter(TStream& stream, BookHeaderSettings settings)
    : stream_(stream)
    , settings_(std::move(settings))
    , headerPosition_(stream.Position())
{
    CheckedPosition(headerPosition_);
    stream_.WriteString(EncodeHeader(settings_, 0));
}

void TBookStreamWriter::AddRecord(std::string name, std::string_view body)
{
    const int64_t position = stream_.Position();
    CheckedPosition(position + kBodyPrefixSize + static_cast<int64_t>(body.size()));
    std::string length;
    TByteSink(length).Int32(static_cast<int32_t>(body.size()));
    stream_.WriteString(length);
    stream_.WriteString(body);
    directory_.push_back({ std::move(name), static_cast<int32_t>(position) });
}

void TBookStreamWriter::Finish()
{
    const int64_t directoryOffset = stream_.Position();
    std::string directory;
    TByteSink entries(directory);
    entries.Int32(static_cast<int32_t>(directory_.size()));
    for (const Entry& entry : directory_) {
        entries.String(entry.name);
        entries.Int32(entry.position);
    }
    TByteSink(directory).Int32(CheckedPosition(headerPosition_));
    CheckedPosition(directoryOffset + static_cast<int64_t>(directory.size()));
    stream_.WriteString(directory);
    const int64_t end = stream_.Position();
    stream_.SetPosition(headerPosition_);
    stream_.WriteString(EncodeHeader(settings_, directoryOffset));
    stream_.SetPosition(end);
}

void TBookWriter::AddPage(std::string name, std::string_view content)
{
    if (content.size() > static_cast<std::size_t>(kMaxPageSize))
        throw Exception("Page " + name + " holds " + std::to_string(content.size())
            + " bytes; a book page holds at most " + std::to_string(kMaxPageSize));
    pages_.push_back(Page { std::move(name), CompressPageBody(content, compressionLevel) });
}

void TBookWriter::AddEmptyPage(std::string name)
{
    pages_.push_back(Page { std::move(name), std::string() });
}

void TBookWriter::SaveToStream(TStream& stream) const
{
    TBookStreamWriter writer(stream, settings);
    for (const Page& page : pages_)
        writer.AddRecord(page.name, page.body);
    writer.Finish();
}
