#include "sources/ChmLayout.h"

#include "common/Exception.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

namespace {

// chmlib reads this much of the file header whatever its version, and the directory header's
// fixed size (it refuses any other).
constexpr uint64_t kFileHeaderSize = 0x60;
constexpr uint64_t kDirectoryHeaderSize = 0x54;
// The headers of a listing block (PMGL) and an index block (PMGI).
constexpr uint64_t kListingHeaderSize = 0x14;
constexpr uint64_t kIndexHeaderSize = 0x08;
// LZX inflates the compressed section a frame at a time; chmlib reads a compressed frame into a
// buffer of the frame's size and this much more, and the control data into one of 256 bytes.
constexpr uint64_t kLzxFrame = 0x8000;
constexpr uint64_t kMaxCompressedFrame = kLzxFrame + 6144;
constexpr uint64_t kMaxControlData = 256;
constexpr uint64_t kResetTableHeaderSize = 0x28;
// The LZX windows chmlib's decoder accepts: 2^15 to 2^21 bytes.
constexpr uint32_t kMinLzxWindow = 1U << 15;
constexpr uint32_t kMaxLzxWindow = 1U << 21;

constexpr std::string_view kResetTableName
    = "::DataSpace/Storage/MSCompressed/Transform/{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}/InstanceData/ResetTable";
constexpr std::string_view kContentName = "::DataSpace/Storage/MSCompressed/Content";
constexpr std::string_view kControlDataName = "::DataSpace/Storage/MSCompressed/ControlData";
constexpr std::string_view kSpanInfoName = "::DataSpace/Storage/MSCompressed/SpanInfo";

uint64_t LittleEndian(std::string_view bytes, std::size_t at, std::size_t count)
{
    uint64_t value = 0;
    for (std::size_t i = 0; i < count; ++i)
        value |= uint64_t { static_cast<unsigned char>(bytes[at + i]) } << (8 * i);
    return value;
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b,
        [](char x, char y) { return (x >= 'A' && x <= 'Z' ? x + 32 : x) == (y >= 'A' && y <= 'Z' ? y + 32 : y); });
}

// A directory number: seven bits a byte, the high bit set on every byte but the last. None when
// the block ends first.
std::optional<uint64_t> ReadNumber(std::string_view block, std::size_t& at)
{
    uint64_t value = 0;
    while (at < block.size()) {
        const auto byte = static_cast<unsigned char>(block[at++]);
        value = (value << 7) | (byte & 0x7f);
        if (byte < 0x80)
            return value;
    }
    return std::nullopt;
}

struct ChmEntry {
    uint64_t space = 0;
    uint64_t start = 0;
    uint64_t length = 0;
};

class TChmLayoutCheck {
public:
    explicit TChmLayoutCheck(const std::string& fileName)
        : fileName_(fileName)
        , file_(fileName, std::ios::binary)
    {
        file_.seekg(0, std::ios::end);
        layout_.fileSize = file_ ? static_cast<uint64_t>(file_.tellg()) : 0;
    }

    ChmLayout Check()
    {
        CheckHeaders();
        const std::string listing
            = ReadAt(directory_, blockCount_ * blockSize_, "its directory lies beyond the end of the file");
        for (uint64_t index = 0; index < blockCount_; ++index) {
            const std::string_view block = std::string_view(listing).substr(index * blockSize_, blockSize_);
            if (block.starts_with("PMGL"))
                CheckListingBlock(block, index);
            else if (block.starts_with("PMGI"))
                CheckIndexBlock(block, index);
        }
        CheckListingChain();
        CheckIndexTree();
        CheckCompressedSection();
        return layout_;
    }

private:
    [[noreturn]] void Refuse(const std::string& why) const
    {
        throw Exception("Cannot read " + fileName_ + " as a CHM file: " + why);
    }

    std::string ReadAt(uint64_t offset, uint64_t length, const std::string& why)
    {
        if (offset > layout_.fileSize || length > layout_.fileSize - offset)
            Refuse(why);
        std::string bytes(static_cast<std::size_t>(length), '\0');
        file_.clear();
        file_.seekg(static_cast<std::streamoff>(offset));
        file_.read(bytes.data(), static_cast<std::streamsize>(length));
        if (!file_)
            Refuse(why);
        return bytes;
    }

    // A block number as the directory gives it: -1 for none, else one of its blocks.
    void CheckBlockNumber(int64_t number, const std::string& what) const
    {
        if (number != -1 && (number < 0 || static_cast<uint64_t>(number) >= blockCount_))
            Refuse(what + " names block " + std::to_string(number) + " of " + std::to_string(blockCount_));
    }

    void CheckHeaders()
    {
        const std::string header = ReadAt(0, kFileHeaderSize, "its file header is cut short");
        if (!header.starts_with("ITSF"))
            Refuse("its file header is damaged");
        const uint64_t version = LittleEndian(header, 0x04, 4);
        const uint64_t directory = LittleEndian(header, 0x48, 8);
        const uint64_t directoryLength = LittleEndian(header, 0x50, 8);
        if (directory > layout_.fileSize || directoryLength > layout_.fileSize - directory
            || directoryLength < kDirectoryHeaderSize)
            Refuse("its directory lies beyond the end of the file");
        if (version != 2 && version != 3)
            Refuse("its file header has version " + std::to_string(version));
        // Version 2 has no data offset of its own: the data follows the directory.
        layout_.dataOffset = version == 3 ? LittleEndian(header, 0x58, 8) : directory + directoryLength;
        if (layout_.dataOffset > layout_.fileSize)
            Refuse("its data lies beyond the end of the file");

        const std::string itsp = ReadAt(directory, kDirectoryHeaderSize, "its directory header is cut short");
        if (!itsp.starts_with("ITSP") || LittleEndian(itsp, 0x04, 4) != 1
            || LittleEndian(itsp, 0x08, 4) != kDirectoryHeaderSize)
            Refuse("its directory header is damaged");
        // chmlib keeps one block on the stack for every lookup.
        blockSize_ = LittleEndian(itsp, 0x10, 4);
        if (blockSize_ < kListingHeaderSize || blockSize_ > kMaxChmBlock)
            Refuse("its directory declares blocks of " + std::to_string(blockSize_) + " bytes");
        directory_ = directory + kDirectoryHeaderSize;
        blockCount_ = (directoryLength - kDirectoryHeaderSize) / blockSize_;
        indexRoot_ = static_cast<int32_t>(LittleEndian(itsp, 0x1c, 4));
        firstListing_ = static_cast<int32_t>(LittleEndian(itsp, 0x20, 4));
        if (indexRoot_ == -1)
            indexRoot_ = firstListing_;
        CheckBlockNumber(indexRoot_, "its directory's root");
        CheckBlockNumber(firstListing_, "its directory's first listing");
    }

    // A name as chmlib copies it into a buffer of kMaxChmName bytes and a NUL, byte for byte
    // whatever the bytes are (older chmlib stopped at one beyond ASCII; this one reads on).
    std::string ReadName(std::string_view block, std::size_t& at, uint64_t index) const
    {
        const std::optional<uint64_t> length = ReadNumber(block, at);
        if (!length || *length > kMaxChmName || *length > block.size() - at)
            Refuse("its directory's block " + std::to_string(index) + " holds a damaged name");
        std::string name(block.substr(at, static_cast<std::size_t>(*length)));
        at += static_cast<std::size_t>(*length);
        // chmlib compares names as C strings: what follows a NUL is not part of it.
        name.resize(std::min(name.size(), name.find('\0')));
        return name;
    }

    // Entries run from the header to where the block's free space begins; each is a name and
    // three numbers (space, start, length).
    void CheckListingBlock(std::string_view block, uint64_t index)
    {
        const uint64_t freeSpace = LittleEndian(block, 0x04, 4);
        if (freeSpace > blockSize_ - kListingHeaderSize)
            Refuse("its directory's block " + std::to_string(index) + " declares more free space than it has");
        CheckBlockNumber(
            static_cast<int32_t>(LittleEndian(block, 0x10, 4)), "its directory's block " + std::to_string(index));
        const std::size_t end = static_cast<std::size_t>(blockSize_ - freeSpace);
        std::size_t at = kListingHeaderSize;
        while (at < end) {
            const std::string name = ReadName(block, at, index);
            const std::optional<uint64_t> space = ReadNumber(block, at);
            const std::optional<uint64_t> start = ReadNumber(block, at);
            const std::optional<uint64_t> length = ReadNumber(block, at);
            if (!space || !start || !length)
                Refuse("its directory's entry " + name + " is cut short");
            for (const std::string_view internal : { kResetTableName, kContentName, kControlDataName, kSpanInfoName }) {
                if (SameNameIgnoringCase(name, internal)
                    && !internal_.emplace(std::string(internal), ChmEntry { *space, *start, *length }).second)
                    Refuse("its directory names " + name + " twice");
            }
        }
    }

    // Entries are a name and the block to look in for names from it on.
    void CheckIndexBlock(std::string_view block, uint64_t index)
    {
        const uint64_t freeSpace = LittleEndian(block, 0x04, 4);
        if (freeSpace > blockSize_ - kIndexHeaderSize)
            Refuse("its directory's block " + std::to_string(index) + " declares more free space than it has");
        const std::size_t end = static_cast<std::size_t>(blockSize_ - freeSpace);
        std::size_t at = kIndexHeaderSize;
        std::vector<int32_t>& children = children_[index];
        while (at < end) {
            ReadName(block, at, index);
            const std::optional<uint64_t> child = ReadNumber(block, at);
            if (!child)
                Refuse("its directory's block " + std::to_string(index) + " is cut short");
            // chmlib keeps the block number as an int.
            const auto number = static_cast<int32_t>(static_cast<uint32_t>(*child));
            CheckBlockNumber(number, "its directory's block " + std::to_string(index));
            if (number >= 0)
                children.push_back(number);
        }
    }

    // chmlib lists the files by following each listing block's "next" from the first: a chain
    // that comes back on itself would never end.
    void CheckListingChain()
    {
        uint64_t walked = 0;
        for (int32_t next = firstListing_; next != -1; ++walked) {
            if (walked >= blockCount_)
                Refuse("its directory's listing blocks do not form a list");
            const std::string block = ReadAt(directory_ + static_cast<uint64_t>(next) * blockSize_, kListingHeaderSize,
                "its directory's block " + std::to_string(next) + " is cut short");
            if (!block.starts_with("PMGL"))
                return;
            next = static_cast<int32_t>(LittleEndian(block, 0x10, 4));
        }
    }

    // chmlib looks a name up from the root down through index blocks: a loop among them would
    // never end. A depth-first walk over the blocks the root reaches finds one.
    void CheckIndexTree() const
    {
        if (indexRoot_ < 0)
            return;
        enum class EVisit { New, Open, Done };
        std::map<int32_t, EVisit> visits;
        std::vector<std::pair<int32_t, std::size_t>> path { { indexRoot_, 0 } };
        visits[indexRoot_] = EVisit::Open;
        while (!path.empty()) {
            auto& [block, next] = path.back();
            const auto children = children_.find(static_cast<uint64_t>(block));
            if (children == children_.end() || next == children->second.size()) {
                visits[block] = EVisit::Done;
                path.pop_back();
                continue;
            }
            const int32_t child = children->second[next++];
            EVisit& visit = visits[child];
            if (visit == EVisit::Open)
                Refuse("its directory's index blocks form a loop");
            if (visit == EVisit::New) {
                visit = EVisit::Open;
                path.emplace_back(child, 0);
            }
        }
    }

    // An internal entry chmlib reads as stored: within the file, in the uncompressed space.
    ChmEntry StoredEntry(std::string_view name, uint64_t minimum, uint64_t maximum) const
    {
        const ChmEntry& entry = internal_.at(std::string(name));
        if (entry.space != 0 || entry.length < minimum || entry.length > maximum
            || !ChmEntryFits(layout_, 0, entry.start, entry.length))
            Refuse("its entry " + std::string(name) + " is damaged");
        return entry;
    }

    // The control data gives the LZX window and how many frames lie between resets; the reset
    // table where each compressed frame begins. chmlib divides by the one and reads each frame
    // into a fixed buffer by the other.
    void CheckCompressedSection()
    {
        if (internal_.contains(std::string(kSpanInfoName)))
            StoredEntry(kSpanInfoName, 0, kMaxControlData);
        const bool anyOf = internal_.contains(std::string(kResetTableName))
            || internal_.contains(std::string(kContentName)) || internal_.contains(std::string(kControlDataName));
        if (!anyOf)
            return;
        if (!internal_.contains(std::string(kResetTableName)) || !internal_.contains(std::string(kContentName))
            || !internal_.contains(std::string(kControlDataName)))
            Refuse("its compressed section is incomplete");
        CheckControlData(StoredEntry(kControlDataName, 0x18, kMaxControlData));
        const ChmEntry content = StoredEntry(kContentName, 0, layout_.fileSize);
        CheckResetTable(StoredEntry(kResetTableName, kResetTableHeaderSize, layout_.fileSize), content);
        layout_.compressed = true;
    }

    void CheckControlData(const ChmEntry& entry)
    {
        const std::string data
            = ReadAt(layout_.dataOffset + entry.start, entry.length, "its compression control data is cut short");
        if (data.substr(4, 4) != "LZXC")
            Refuse("its compression control data is damaged");
        // As chmlib reads them: version 2 counts in frames, in 32-bit arithmetic.
        uint32_t resetInterval = static_cast<uint32_t>(LittleEndian(data, 0x0c, 4));
        uint32_t window = static_cast<uint32_t>(LittleEndian(data, 0x10, 4));
        const auto windowsPerReset = static_cast<uint32_t>(LittleEndian(data, 0x14, 4));
        if (LittleEndian(data, 0x08, 4) == 2) {
            resetInterval *= static_cast<uint32_t>(kLzxFrame);
            window *= static_cast<uint32_t>(kLzxFrame);
        }
        if (window < kMinLzxWindow || window > kMaxLzxWindow || (window & (window - 1)) != 0)
            Refuse("its compression window of " + std::to_string(window) + " bytes is not one LZX has");
        const uint32_t framesPerReset = resetInterval / (window / 2) * windowsPerReset;
        if (resetInterval == 0 || resetInterval % (window / 2) != 0 || framesPerReset == 0)
            Refuse("its compression reset interval is damaged");
    }

    void CheckResetTable(const ChmEntry& entry, const ChmEntry& content)
    {
        const uint64_t at = layout_.dataOffset + entry.start;
        const std::string header = ReadAt(at, kResetTableHeaderSize, "its reset table is cut short");
        const uint64_t frames = LittleEndian(header, 0x04, 4);
        const uint64_t tableOffset = LittleEndian(header, 0x0c, 4);
        const uint64_t inflated = LittleEndian(header, 0x10, 8);
        const uint64_t compressed = LittleEndian(header, 0x18, 8);
        if (LittleEndian(header, 0x00, 4) != 2 || LittleEndian(header, 0x20, 8) != kLzxFrame)
            Refuse("its reset table is damaged");
        if (tableOffset + frames * 8 > entry.length)
            Refuse("its reset table declares more frames than it holds");
        if (compressed > content.length || inflated > frames * kLzxFrame)
            Refuse("its reset table declares more data than the compressed section holds");
        const std::string table = ReadAt(at + tableOffset, frames * 8, "its reset table is cut short");
        for (uint64_t frame = 0; frame < frames; ++frame) {
            const uint64_t begin = LittleEndian(table, frame * 8, 8);
            const uint64_t end = frame + 1 < frames ? LittleEndian(table, frame * 8 + 8, 8) : compressed;
            if (begin > end || end > compressed || end - begin > kMaxCompressedFrame)
                Refuse("its reset table's frame " + std::to_string(frame) + " is damaged");
        }
        layout_.inflatedSize = inflated;
    }

    std::string fileName_;
    std::ifstream file_;
    ChmLayout layout_;
    uint64_t directory_ = 0; // the first directory block
    uint64_t blockSize_ = 0;
    uint64_t blockCount_ = 0;
    int32_t indexRoot_ = -1;
    int32_t firstListing_ = -1;
    std::map<uint64_t, std::vector<int32_t>> children_; // of each index block
    std::map<std::string, ChmEntry> internal_; // the compressed section's entries, by their names
};

} // namespace

ChmLayout CheckChmLayout(const std::string& fileName)
{
    return TChmLayoutCheck(fileName).Check();
}

bool ChmEntryFits(const ChmLayout& layout, int space, uint64_t start, uint64_t length)
{
    if (space == 0) {
        const uint64_t stored = layout.fileSize - layout.dataOffset;
        return start <= stored && length <= stored - start;
    }
    return layout.compressed && start <= layout.inflatedSize && length <= layout.inflatedSize - start;
}
