#include "sources/ZimClusters.h"

#include "common/Exception.h"
#include "common/Streams.h"

#include <fcntl.h>
#include <lzma.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zstd.h>

#include <memory>

namespace {

constexpr uint32_t kZimMagic = 0x044D495A;
constexpr uint64_t kZimHeaderSize = 80;
constexpr uint16_t kRedirectMimeType = 0xFFFF;
constexpr int kLzma = 4;
constexpr int kZstd = 5;
constexpr unsigned char kExtendedOffsets = 0x10;
// Compressed bytes read at a time while inflating the offset list.
constexpr uint64_t kChunk = 1 << 14;

uint64_t LittleEndian(const std::string& bytes, std::size_t at, std::size_t count)
{
    uint64_t value = 0;
    for (std::size_t i = 0; i < count && at + i < bytes.size(); ++i)
        value |= uint64_t { static_cast<unsigned char>(bytes[at + i]) } << (8 * i);
    return value;
}

struct ZstdStreamFree {
    void operator()(ZSTD_DStream* stream) const { ZSTD_freeDStream(stream); }
};

struct LzmaStreamEnd {
    void operator()(lzma_stream* stream) const { lzma_end(stream); }
};

} // namespace

TZimInflation::TZimInflation(const std::string& fileName)
    : fd_(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC))
{
    struct stat facts { };
    if (fd_ < 0 || ::fstat(fd_, &facts) != 0)
        return;
    size_ = static_cast<uint64_t>(facts.st_size);
    const std::string header = Read(0, kZimHeaderSize);
    if (header.size() < kZimHeaderSize || LittleEndian(header, 0, 4) != kZimMagic)
        return;
    entries_ = LittleEndian(header, 24, 4);
    clusters_ = LittleEndian(header, 28, 4);
    pathList_ = LittleEndian(header, 32, 8);
    clusterList_ = LittleEndian(header, 48, 8);
}

TZimInflation::~TZimInflation()
{
    if (fd_ >= 0)
        ::close(fd_);
}

std::string TZimInflation::Read(uint64_t offset, uint64_t length) const
{
    if (fd_ < 0 || offset >= size_)
        return {};
    std::string bytes(static_cast<std::size_t>(std::min(length, size_ - offset)), '\0');
    bytes.resize(static_cast<std::size_t>(
        ReadFileAt(fd_, static_cast<int64_t>(offset), bytes.data(), static_cast<int64_t>(bytes.size()))));
    return bytes;
}

std::string TZimInflation::Inflate(uint64_t at, int compression, uint64_t count) const
{
    std::string out(static_cast<std::size_t>(count), '\0');
    std::size_t produced = 0;
    if (compression == kZstd) {
        const std::unique_ptr<ZSTD_DStream, ZstdStreamFree> stream(ZSTD_createDStream());
        if (!stream || ZSTD_isError(ZSTD_initDStream(stream.get())))
            return {};
        while (produced < out.size()) {
            const std::string in = Read(at, kChunk);
            if (in.empty())
                break;
            ZSTD_inBuffer input { in.data(), in.size(), 0 };
            while (input.pos < input.size && produced < out.size()) {
                ZSTD_outBuffer output { out.data(), out.size(), produced };
                const std::size_t result = ZSTD_decompressStream(stream.get(), &output, &input);
                produced = output.pos;
                if (ZSTD_isError(result) || result == 0) {
                    out.resize(produced);
                    return out;
                }
            }
            at += input.pos;
        }
    } else if (compression == kLzma) {
        lzma_stream raw = LZMA_STREAM_INIT;
        if (lzma_stream_decoder(&raw, UINT64_MAX, 0) != LZMA_OK)
            return {};
        const std::unique_ptr<lzma_stream, LzmaStreamEnd> stream(&raw);
        while (produced < out.size()) {
            const std::string in = Read(at, kChunk);
            if (in.empty())
                break;
            raw.next_in = reinterpret_cast<const uint8_t*>(in.data());
            raw.avail_in = in.size();
            raw.next_out = reinterpret_cast<uint8_t*>(out.data() + produced);
            raw.avail_out = out.size() - produced;
            const lzma_ret result = lzma_code(&raw, LZMA_RUN);
            produced = out.size() - raw.avail_out;
            at += in.size() - raw.avail_in;
            if (result != LZMA_OK)
                break;
        }
    }
    out.resize(produced);
    return out;
}

std::optional<TZimInflation::TBlobPlace> TZimInflation::PlaceOf(uint64_t entryIndex) const
{
    if (entryIndex >= entries_ || pathList_ > size_ || entryIndex >= (size_ - pathList_) / 8)
        return std::nullopt;
    const std::string entry = Read(LittleEndian(Read(pathList_ + 8 * entryIndex, 8), 0, 8), 16);
    if (entry.size() < 16 || LittleEndian(entry, 0, 2) == kRedirectMimeType)
        return std::nullopt;
    return TBlobPlace { LittleEndian(entry, 8, 4), LittleEndian(entry, 12, 4) };
}

std::optional<uint64_t> TZimInflation::ClusterOf(uint64_t entryIndex) const
{
    const std::optional<TBlobPlace> place = PlaceOf(entryIndex);
    if (!place)
        return std::nullopt;
    return place->cluster;
}

std::string TZimInflation::PathAt(uint64_t entryIndex) const
{
    const uint64_t at = LittleEndian(Read(pathList_ + 8 * entryIndex, 8), 0, 8);
    const std::string head = Read(at, 16);
    if (head.size() < 12)
        return {};
    const uint64_t pathAt = at + (LittleEndian(head, 0, 2) == kRedirectMimeType ? 12 : 16);
    // Paths are short; one that is not is no path this looks for.
    const std::string bytes = Read(pathAt, 1024);
    const std::size_t end = bytes.find('\0');
    if (end == std::string::npos)
        return {};
    return head[3] + bytes.substr(0, end);
}

std::optional<uint64_t> TZimInflation::EntryAt(char ns, std::string_view path) const
{
    if (pathList_ > size_ || entries_ > (size_ - pathList_) / 8)
        return std::nullopt;
    const std::string wanted = ns + std::string(path);
    // The path list is sorted by namespace and path.
    uint64_t low = 0;
    uint64_t high = entries_;
    while (low < high) {
        const uint64_t middle = low + (high - low) / 2;
        const std::string found = PathAt(middle);
        if (found == wanted)
            return middle;
        if (found < wanted)
            low = middle + 1;
        else
            high = middle;
    }
    return std::nullopt;
}

void TZimInflation::CheckCluster(uint64_t cluster) const
{
    if (cluster >= clusters_)
        return;
    {
        const std::lock_guard guard(checkedLock_);
        if (checked_.contains(cluster))
            return;
    }
    const uint64_t at = LittleEndian(Read(clusterList_ + 8 * cluster, 8), 0, 8);
    const std::string info = Read(at, 1);
    if (info.empty())
        return;
    const int compression = info[0] & 0x0F;
    const uint64_t width = (static_cast<unsigned char>(info[0]) & kExtendedOffsets) != 0 ? 8 : 4;
    const std::string head
        = compression == kZstd || compression == kLzma ? Inflate(at + 1, compression, width) : Read(at + 1, width);
    const uint64_t listBytes = LittleEndian(head, 0, static_cast<std::size_t>(width));
    const bool inPlace = compression != kZstd && compression != kLzma;
    if (listBytes > kMostOffsetListBytes || (inPlace && listBytes > size_ - std::min(size_, at + 1)))
        throw Exception("its cluster " + std::to_string(cluster) + " declares an offset list of "
            + std::to_string(listBytes) + " bytes, more than a cluster holds");
    const std::lock_guard guard(checkedLock_);
    checked_.insert(cluster);
}

uint64_t TZimInflation::InflatedThrough(uint64_t entryIndex, uint64_t bound) const
{
    const std::optional<TBlobPlace> place = PlaceOf(entryIndex);
    if (!place || place->cluster >= clusters_)
        return 0;
    CheckCluster(place->cluster);
    const uint64_t cluster = place->cluster;
    const uint64_t blob = place->blob;
    const uint64_t at = LittleEndian(Read(clusterList_ + 8 * cluster, 8), 0, 8);
    const std::string info = Read(at, 1);
    if (info.empty())
        return 0;
    const int compression = info[0] & 0x0F;
    if (compression != kZstd && compression != kLzma)
        return 0;
    const uint64_t width = (static_cast<unsigned char>(info[0]) & kExtendedOffsets) != 0 ? 8 : 4;
    // The offsets of the blob's start and end lead the inflated data; reading them costs the
    // list up to there.
    const uint64_t listBytes = (blob + 2) * width;
    if (listBytes > bound)
        throw Exception("its cluster's offset list alone inflates to " + std::to_string(listBytes)
            + " bytes, more than a page may hold");
    const std::string offsets = Inflate(at + 1, compression, listBytes);
    if (offsets.size() < listBytes)
        return 0;
    return LittleEndian(offsets, static_cast<std::size_t>((blob + 1) * width), static_cast<std::size_t>(width));
}
