#include "book/tests/ContainerBuilder.h"

#include <cstring>
#include <stdexcept>
#include <zlib.h>

Bytes& Bytes::Byte(uint8_t value)
{
    data.push_back(static_cast<char>(value));
    return *this;
}

Bytes& Bytes::Int32(int32_t value)
{
    const auto bits = static_cast<uint32_t>(value);
    Byte(bits & 0xFF).Byte((bits >> 8) & 0xFF).Byte((bits >> 16) & 0xFF).Byte(bits >> 24);
    return *this;
}

Bytes& Bytes::Double(double value)
{
    unsigned char raw[8];
    std::memcpy(raw, &value, sizeof raw); // the test machine is little-endian like the format
    data.append(reinterpret_cast<const char*>(raw), sizeof raw);
    return *this;
}

Bytes& Bytes::Raw(std::string_view raw)
{
    data.append(raw);
    return *this;
}

Bytes& Bytes::Str(std::string_view text)
{
    return Int32(static_cast<int32_t>(text.size())).Raw(text);
}

void Bytes::PatchInt32(std::size_t at, int32_t value)
{
    Bytes patch;
    patch.Int32(value);
    data.replace(at, 4, patch.data);
}

std::string ZlibOf(std::string_view content)
{
    uLongf length = compressBound(static_cast<uLong>(content.size()));
    std::string out(length, '\0');
    if (compress(reinterpret_cast<Bytef*>(out.data()), &length, reinterpret_cast<const Bytef*>(content.data()),
            static_cast<uLong>(content.size()))
        != Z_OK)
        throw std::runtime_error("compress failed");
    out.resize(length);
    return out;
}

std::string RecordOf(int32_t uncompressedSize, std::string_view zlibData)
{
    Bytes record;
    record.Int32(static_cast<int32_t>(4 + zlibData.size())).Int32(uncompressedSize).Raw(zlibData);
    return record.data;
}

std::string PageRecord(std::string_view content)
{
    return RecordOf(static_cast<int32_t>(content.size()), ZlibOf(content));
}

std::string BuildContainer(const RawHeader& h, const std::vector<RawEntry>& entries, std::size_t stubSize)
{
    Bytes out;
    out.Raw(std::string(stubSize, 'M'));
    const auto headerOffset = static_cast<int32_t>(out.data.size());
    out.Str(h.magic).Str(h.title).Str(h.description).Byte(h.hasAboutText);
    if (h.hasAboutText != 0)
        out.Str(h.aboutText);
    out.Byte(h.hasAboutDate);
    if (h.hasAboutDate != 0)
        out.Double(h.aboutDate);
    out.Int32(h.sizeMode).Int32(h.positionMode);
    for (int32_t value : h.geometry)
        out.Int32(value);
    out.Int32(h.entryExtraMode).Int32(h.auxKind).Raw(h.auxBytes);
    out.Byte(h.showMenu).Byte(h.showToolbar).Byte(h.resizable).Byte(h.allowPrint).Byte(h.allowContextMenu);
    out.Int32(h.homePageIndex).Int32(h.auxPageIndex);
    const std::size_t directoryField = out.data.size();
    out.Int32(0);

    std::vector<int32_t> offsets;
    for (const RawEntry& entry : entries) {
        offsets.push_back(static_cast<int32_t>(out.data.size()));
        out.Raw(entry.record);
    }
    out.PatchInt32(directoryField, static_cast<int32_t>(out.data.size()));
    out.Int32(static_cast<int32_t>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        out.Str(entries[i].name).Int32(offsets[i]);
        if (entries[i].extraByte)
            out.Byte(*entries[i].extraByte);
    }
    out.Int32(headerOffset);
    return out.data;
}

void Fill(TMemoryStream& stream, std::string_view bytes)
{
    stream.WriteString(bytes);
    stream.SetPosition(0);
}

LoadedBook::LoadedBook(std::string_view bytes)
{
    Fill(stream, bytes);
    valid = reader.LoadFromStream(stream);
}

std::optional<std::string> LoadedBook::Page(std::string_view name)
{
    TMemoryStream output;
    if (!reader.ExtractPage(name, output))
        return std::nullopt;
    return output.ToString();
}
