#include "sources/ZimDirents.h"

#include "common/Exception.h"

#include <cstdint>
#include <fstream>
#include <string_view>
#include <vector>

namespace {

constexpr uint32_t kZimMagic = 0x044D495A;
constexpr uint64_t kZimHeaderSize = 80;
// An entry's fixed part: the redirect's is 12 bytes, an item's 16; the extra length is its third
// byte.
constexpr uint64_t kDirentHeaderSize = 12;
constexpr std::size_t kExtraLengthAt = 2;
// Entries are read through a window of this many bytes: the path list is in the order the writer
// stored them, so most entries fall in the window of the one before.
constexpr uint64_t kWindowSize = 1 << 16;
constexpr uint64_t kPointersAtOnce = 1 << 16;

uint64_t LittleEndian(std::string_view bytes, std::size_t at, std::size_t count)
{
    uint64_t value = 0;
    for (std::size_t i = 0; i < count; ++i)
        value |= uint64_t { static_cast<unsigned char>(bytes[at + i]) } << (8 * i);
    return value;
}

class TZimReader {
public:
    explicit TZimReader(const std::string& fileName)
        : fileName_(fileName)
        , file_(fileName, std::ios::binary)
    {
        file_.seekg(0, std::ios::end);
        size_ = file_ ? static_cast<uint64_t>(file_.tellg()) : 0;
    }

    uint64_t Size() const { return size_; }

    // The bytes [offset, offset + length), which the caller has checked lie within the file.
    std::string Read(uint64_t offset, uint64_t length)
    {
        std::string bytes(static_cast<std::size_t>(length), '\0');
        file_.clear();
        file_.seekg(static_cast<std::streamoff>(offset));
        file_.read(bytes.data(), static_cast<std::streamsize>(length));
        if (!file_)
            throw Exception(
                "Cannot read " + fileName_ + " as a ZIM archive: it cannot be read at " + std::to_string(offset));
        return bytes;
    }

    // One byte, through the window.
    unsigned char ByteAt(uint64_t offset)
    {
        if (offset < windowStart_ || offset >= windowStart_ + window_.size()) {
            windowStart_ = offset;
            window_ = Read(offset, std::min(kWindowSize, size_ - offset));
        }
        return static_cast<unsigned char>(window_[static_cast<std::size_t>(offset - windowStart_)]);
    }

private:
    std::string fileName_;
    std::ifstream file_;
    uint64_t size_ = 0;
    uint64_t windowStart_ = 0;
    std::string window_;
};

} // namespace

void CheckZimDirents(const std::string& fileName)
{
    TZimReader reader(fileName);
    const auto refuse
        = [&](const std::string& why) { throw Exception("Cannot read " + fileName + " as a ZIM archive: " + why); };
    // What libzim refuses itself (a short file, another magic number) is left for it to say.
    if (reader.Size() < kZimHeaderSize)
        return;
    const std::string header = reader.Read(0, kZimHeaderSize);
    if (LittleEndian(header, 0, 4) != kZimMagic)
        return;
    const uint64_t entries = LittleEndian(header, 24, 4);
    const uint64_t pathList = LittleEndian(header, 32, 8);
    if (pathList > reader.Size() || entries > (reader.Size() - pathList) / 8)
        refuse("its path list lies beyond the end of the file");
    for (uint64_t first = 0; first < entries; first += kPointersAtOnce) {
        const uint64_t count = std::min(kPointersAtOnce, entries - first);
        const std::string pointers = reader.Read(pathList + first * 8, count * 8);
        for (uint64_t i = 0; i < count; ++i) {
            const uint64_t at = LittleEndian(pointers, static_cast<std::size_t>(i * 8), 8);
            const std::string entry = "entry " + std::to_string(first + i);
            if (at > reader.Size() || kDirentHeaderSize > reader.Size() - at)
                refuse(entry + " lies beyond the end of the file");
            if (const unsigned char extra = reader.ByteAt(at + kExtraLengthAt); extra != 0)
                refuse(entry + " declares " + std::to_string(extra) + " bytes of extra parameter");
        }
    }
}
