#include "PackedText.h"

#include "Exception.h"

#include <zlib.h>

#include <cstdint>

namespace {

constexpr std::size_t kLengthBytes = 4;
// Fast: packing runs for every block during the build, and text compresses well at any level.
constexpr int kLevel = 1;
// A raw stream (no header or checksum) with a window as large as a block, and a small hash table:
// blocks are a few kilobytes, and resetting a larger table for each would cost more than packing.
constexpr int kWindowBits = -13;
constexpr int kMemoryLevel = 5;
// Blocks larger than this are not packed whole (a page's blocks are far smaller).
constexpr std::size_t kLargestText = UINT32_MAX / 2;

} // namespace

struct TTextPacker::Streams {
    z_stream deflater {};
    z_stream inflater {};
    bool deflaterReady = false;
    bool inflaterReady = false;
    ~Streams()
    {
        if (deflaterReady)
            deflateEnd(&deflater);
        if (inflaterReady)
            inflateEnd(&inflater);
    }
};

TTextPacker::TTextPacker()
    : streams_(std::make_unique<Streams>())
{
    streams_->deflaterReady
        = deflateInit2(&streams_->deflater, kLevel, Z_DEFLATED, kWindowBits, kMemoryLevel, Z_DEFAULT_STRATEGY) == Z_OK;
    streams_->inflaterReady = inflateInit2(&streams_->inflater, kWindowBits) == Z_OK;
    if (!streams_->deflaterReady || !streams_->inflaterReady)
        throw Exception("Search index: out of memory");
}

TTextPacker::~TTextPacker() = default;

std::string TTextPacker::Pack(std::string_view text)
{
    if (text.size() > kLargestText)
        text = text.substr(0, kLargestText);
    z_stream& z = streams_->deflater;
    deflateReset(&z);
    const uLong bound = deflateBound(&z, static_cast<uLong>(text.size()));
    std::string packed(kLengthBytes + bound, '\0');
    const auto length = static_cast<uint32_t>(text.size());
    for (std::size_t i = 0; i < kLengthBytes; ++i)
        packed[i] = static_cast<char>((length >> (8 * i)) & 0xFF);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef*>(packed.data() + kLengthBytes);
    z.avail_out = static_cast<uInt>(bound);
    if (deflate(&z, Z_FINISH) != Z_STREAM_END)
        throw Exception("Search index: cannot pack a page's text");
    packed.resize(kLengthBytes + z.total_out);
    packed.shrink_to_fit();
    return packed;
}

std::string TTextPacker::Unpack(std::string_view packed)
{
    if (packed.size() < kLengthBytes)
        return {};
    uint32_t length = 0;
    for (std::size_t i = 0; i < kLengthBytes; ++i)
        length |= static_cast<uint32_t>(static_cast<unsigned char>(packed[i])) << (8 * i);
    if (length > kLargestText)
        return {};
    std::string text(length, '\0');
    z_stream& z = streams_->inflater;
    inflateReset(&z);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data() + kLengthBytes));
    z.avail_in = static_cast<uInt>(packed.size() - kLengthBytes);
    z.next_out = reinterpret_cast<Bytef*>(text.data());
    z.avail_out = length;
    if (inflate(&z, Z_FINISH) != Z_STREAM_END || z.total_out != length)
        return {};
    return text;
}
