#include "book/PageCompressor.h"

#include "book/BookFormat.h"
#include "common/AnsiText.h"
#include "common/Exception.h"

#include <algorithm>
#include <array>
#include <libdeflate.h>
#include <memory>

namespace {

struct CompressorDeleter {
    void operator()(libdeflate_compressor* compressor) const { libdeflate_free_compressor(compressor); }
};
using CompressorPtr = std::unique_ptr<libdeflate_compressor, CompressorDeleter>;

// A compressor holds several hundred KiB of tables; each thread keeps one per level it used.
libdeflate_compressor& CompressorFor(int level)
{
    thread_local std::array<CompressorPtr, kMaxCompressionLevel + 1> compressors;
    CompressorPtr& compressor = compressors.at(static_cast<std::size_t>(level));
    if (!compressor) {
        compressor.reset(libdeflate_alloc_compressor(level));
        if (!compressor)
            throw Exception("Cannot set up page compression: out of memory");
    }
    return *compressor;
}

} // namespace

std::string CompressPageBody(std::string_view content, int level)
{
    if (level < kMinCompressionLevel || level > kMaxCompressionLevel)
        throw Exception("Compression level " + std::to_string(level) + " is outside "
            + std::to_string(kMinCompressionLevel) + " to " + std::to_string(kMaxCompressionLevel));
    libdeflate_compressor& compressor = CompressorFor(level);
    const std::size_t bound = libdeflate_zlib_compress_bound(&compressor, content.size());
    // Deflate writes into a buffer each thread keeps, sized for the worst case; the body is then
    // one allocation of what was written, not a fresh zero-filled worst case per page.
    thread_local std::string scratch;
    if (scratch.size() < bound)
        scratch.resize(bound);
    const std::size_t written
        = libdeflate_zlib_compress(&compressor, content.data(), content.size(), scratch.data(), bound);
    if (written == 0)
        throw Exception("Cannot compress a page of " + std::to_string(content.size()) + " bytes");
    std::string body;
    body.reserve(kBodyPrefixSize + written);
    const auto length = static_cast<uint32_t>(content.size());
    for (int i = 0; i < kBodyPrefixSize; ++i)
        body += static_cast<char>(length >> (8 * i));
    body.append(scratch.data(), written);
    // A page far larger than the others does not keep its buffer for the rest of the build.
    if (scratch.size() > (std::size_t { 4 } << 20))
        std::string().swap(scratch);
    return body;
}

int CompressionLevelFor(std::string_view pageName, int level)
{
    static constexpr std::string_view kCompressedKinds[]
        = { ".png", ".jpg", ".jpeg", ".gif", ".webp", ".avif", ".woff", ".woff2", ".mp3", ".mp4", ".m4a", ".ogg",
              ".oga", ".ogv", ".webm", ".zip", ".gz", ".bz2", ".xz", ".zst", ".7z", ".epub", ".pdf" };
    const std::size_t dot = pageName.rfind('.');
    if (dot == std::string_view::npos || pageName.size() - dot > 6)
        return level;
    const std::string extension = LowerCaseAscii(pageName.substr(dot));
    const bool compressed
        = std::find(std::begin(kCompressedKinds), std::end(kCompressedKinds), extension) != std::end(kCompressedKinds);
    return compressed ? std::min(level, 1) : level;
}
