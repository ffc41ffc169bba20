#include "common/Exception.h"
#include "sources/ChmSource.h"
#include "sources/OpenSource.h"
#include "sources/tests/SampleSources.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include <zstd.h>

namespace fs = std::filesystem;

// Archives damaged where chmlib and libzim trust them: every copy must be refused with a message
// naming the file before the library reads it (they would overflow a buffer, divide by zero or
// loop for ever on them), and the intact file must still read.
namespace {

// Where the stored data of the directory entry `name` begins in the file: its name is followed by
// three numbers of seven bits a byte (space, start, length).
std::size_t StoredAt(const std::string& chm, const std::string& name)
{
    std::size_t at = chm.find(name);
    EXPECT_NE(at, std::string::npos) << name;
    at += name.size();
    std::vector<uint64_t> numbers;
    while (numbers.size() < 3) {
        uint64_t value = 0;
        unsigned char byte = 0;
        do {
            byte = static_cast<unsigned char>(chm[at++]);
            value = (value << 7) | (byte & 0x7f);
        } while (byte >= 0x80);
        numbers.push_back(value);
    }
    const uint64_t dataOffset = Number(chm, 0x58, 8);
    return static_cast<std::size_t>(dataOffset + numbers[1]);
}

} // namespace

TEST(ChmLayout, DamageChmlibWouldTrustIsRefusedBeforeItReadsIt)
{
    TScratchFolder temp;
    const auto compiled = CompileSampleChm(temp / "chm");
    if (!compiled)
        GTEST_SKIP() << "chmcmd is not installed (fp-utils)";
    const std::string chm = ReadBytes(*compiled);
    const std::size_t resetTable = StoredAt(chm,
        "::DataSpace/Storage/MSCompressed/Transform/{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}/InstanceData/ResetTable");
    const std::size_t control = StoredAt(chm, "::DataSpace/Storage/MSCompressed/ControlData");
    const std::size_t directory = static_cast<std::size_t>(Number(chm, 0x48, 8));
    const std::size_t firstBlock = directory + 0x54
        + static_cast<std::size_t>(Number(chm, directory + 0x20, 4) * Number(chm, directory + 0x10, 4));
    ASSERT_EQ(chm.substr(control + 4, 4), "LZXC");
    ASSERT_EQ(chm.substr(firstBlock, 4), "PMGL");
    const uint64_t blockCount = (Number(chm, 0x50, 8) - 0x54) / Number(chm, directory + 0x10, 4);

    const std::vector<std::pair<std::string, std::function<void(std::string&)>>> damages {
        // A frame size past 4 GiB: chmlib allocates it cut to 32 bits and copies from it whole.
        { "reset table", [&](std::string& b) { SetNumber(b, resetTable + 0x20, 8, 0x100000010ULL); } },
        // The first frame starting past the compressed data: a read of a negative length.
        { "frame 0", [&](std::string& b) { SetNumber(b, resetTable + Number(b, resetTable + 0x0c, 4), 8, 1 << 20); } },
        { "window", [&](std::string& b) { SetNumber(b, control + 0x10, 4, 3); } },
        // No windows a reset: chmlib divides by the frames between resets. Again behind a name
        // with bytes beyond ASCII, which chmlib copies and reads past.
        { "reset interval", [&](std::string& b) { SetNumber(b, control + 0x14, 4, 0); } },
        { "reset interval",
            [&](std::string& b) {
                SetNumber(b, control + 0x14, 4, 0);
                b[firstBlock + 0x15] = '\xc3';
            } },
        // The first listing block naming itself as the next: chmlib's listing would never end.
        { "do not form a list",
            [&](std::string& b) { SetNumber(b, firstBlock + 0x10, 4, Number(b, directory + 0x20, 4)); } },
        // The next listing block one past the last: blocks are numbered from 0.
        { "names block " + std::to_string(blockCount) + " of " + std::to_string(blockCount),
            [&](std::string& b) { SetNumber(b, firstBlock + 0x10, 4, blockCount); } },
        { "free space", [&](std::string& b) { SetNumber(b, firstBlock + 0x04, 4, Number(b, directory + 0x10, 4)); } },
        { "blocks of", [&](std::string& b) { SetNumber(b, directory + 0x10, 4, 1 << 24); } },
    };
    for (const auto& [why, damage] : damages) {
        SCOPED_TRACE(why);
        std::string damaged = chm;
        damage(damaged);
        const fs::path copy = temp / "damaged.chm";
        std::ofstream(copy, std::ios::binary | std::ios::trunc) << damaged;
        try {
            TChmSource source(copy.string());
            ADD_FAILURE() << "the damaged file opened";
        } catch (const Exception& error) {
            EXPECT_NE(error.Message().find(copy.string()), std::string::npos) << error.Message();
            EXPECT_NE(error.Message().find(why), std::string::npos) << error.Message();
        }
    }

    // Intact, every page reads whole.
    const auto source = OpenBookSource(compiled->string());
    for (const std::string& name : source->PageNames())
        EXPECT_TRUE(source->Lookup(name).bytes) << name;
}

TEST(ZimDirents, AnEntryLibzimWouldReadPastIsRefusedBeforeItOpens)
{
    TScratchFolder temp;
    WriteSampleZim(temp / "sample.zim");
    const std::string zim = ReadBytes(temp / "sample.zim");
    const uint64_t entries = Number(zim, 24, 4);
    const std::size_t pathList = static_cast<std::size_t>(Number(zim, 32, 8));
    const std::size_t last = static_cast<std::size_t>(Number(zim, pathList + 8 * (entries - 1), 8));
    const std::vector<std::pair<std::string, std::function<void(std::string&)>>> damages {
        // An extra parameter longer than the bytes left: libzim's strnlen bound wraps around.
        { "extra parameter", [&](std::string& b) { b[last + 2] = '\xff'; } },
        { "beyond the end", [&](std::string& b) { SetNumber(b, pathList, 8, b.size() - 4); } },
        { "path list", [&](std::string& b) { SetNumber(b, 32, 8, b.size() - 8); } },
    };
    for (const auto& [why, damage] : damages) {
        SCOPED_TRACE(why);
        std::string damaged = zim;
        damage(damaged);
        const fs::path copy = temp / "damaged.zim";
        std::ofstream(copy, std::ios::binary | std::ios::trunc) << damaged;
        try {
            OpenBookSource(copy.string());
            ADD_FAILURE() << "the damaged file opened";
        } catch (const Exception& error) {
            EXPECT_NE(error.Message().find(copy.string()), std::string::npos) << error.Message();
            EXPECT_NE(error.Message().find(why), std::string::npos) << error.Message();
        }
    }
    EXPECT_EQ(OpenBookSource((temp / "sample.zim").string())->Title(), kSampleTitle);
}

namespace {

// A zstd frame of `bytes` (the offset list and the small blobs) with `zeros` zero bytes inserted at
// `zerosAt`, compressed as it streams so that the zeros are never held.
std::string ZstdFrameWithZeros(const std::string& bytes, std::size_t zerosAt, uint64_t zeros)
{
    ZSTD_CCtx* context = ZSTD_createCCtx();
    std::string frame;
    std::string out(ZSTD_CStreamOutSize(), '\0');
    const auto feed = [&](const char* data, std::size_t size, ZSTD_EndDirective end) {
        ZSTD_inBuffer input { data, size, 0 };
        std::size_t left = 0;
        do {
            ZSTD_outBuffer output { out.data(), out.size(), 0 };
            left = ZSTD_compressStream2(context, &output, &input, end);
            frame.append(out.data(), output.pos);
        } while (input.pos < input.size || (end == ZSTD_e_end && left != 0));
    };
    feed(bytes.data(), zerosAt, ZSTD_e_continue);
    const std::string block(1 << 20, '\0');
    for (uint64_t left = zeros; left > 0; left -= std::min<uint64_t>(left, block.size()))
        feed(block.data(), static_cast<std::size_t>(std::min<uint64_t>(left, block.size())), ZSTD_e_continue);
    feed(bytes.data() + zerosAt, bytes.size() - zerosAt, ZSTD_e_end);
    ZSTD_freeCCtx(context);
    return frame;
}

} // namespace

// libzim inflates a compressed cluster up to the end of the blob it reads: a page of five bytes
// stored after a blob of 260 MiB would cost 260 MiB. The page is refused, named, before that,
// and the archive's other pages still read.
TEST(ZimClusters, AnEntryStoredPastWhatAPageMayHoldIsRefusedBeforeItsClusterInflates)
{
    TScratchFolder temp;
    std::string noise;
    uint32_t seed = 7;
    for (int i = 0; i < 60000; ++i) {
        seed = seed * 1103515245 + 12345;
        noise += static_cast<char>('a' + (seed >> 16) % 26);
    }
    WriteZim(temp / "big.zim",
        { { "index.html", "Home", "<p>home</p>" }, { "noise.html", "Noise", "<p>" + noise + "</p>" },
            { "small.html", "Small", "<p>small</p>" } },
        false);
    std::string zim = ReadBytes(temp / "big.zim");
    const uint64_t pathList = Number(zim, 32, 8);
    const uint64_t clusterList = Number(zim, 48, 8);
    uint64_t clusterNumber = 0;
    uint64_t blob = 0;
    bool found = false;
    for (uint64_t i = 0; i < Number(zim, 24, 4) && !found; ++i) {
        const uint64_t at = Number(zim, static_cast<std::size_t>(pathList + 8 * i), 8);
        found = zim.compare(static_cast<std::size_t>(at + 16), 11, std::string("small.html") + '\0') == 0;
        clusterNumber = Number(zim, static_cast<std::size_t>(at + 8), 4);
        blob = Number(zim, static_cast<std::size_t>(at + 12), 4);
    }
    ASSERT_TRUE(found);
    ASSERT_GE(blob, 1u) << "the small page must follow another blob in its cluster";
    const std::size_t cluster = static_cast<std::size_t>(Number(zim, clusterList + 8 * clusterNumber, 8));
    ASSERT_EQ(zim[cluster] & 0x0F, 5) << "a zstd cluster";
    const std::size_t room = static_cast<std::size_t>(
        (clusterNumber + 1 < Number(zim, 28, 4) ? Number(zim, clusterList + 8 * (clusterNumber + 1), 8)
                                                : Number(zim, 72, 8))
        - cluster - 1);

    // The same blobs, but the one before the small page 260 MiB of zeros; the small page's own
    // five bytes are as they were.
    constexpr uint64_t kHuge = 260ull << 20;
    const uint64_t blobs = blob + 1;
    std::string list(static_cast<std::size_t>((blobs + 1) * 4), '\0');
    std::string data;
    uint64_t offset = list.size();
    for (uint64_t i = 0; i <= blobs; ++i) {
        SetNumber(list, static_cast<std::size_t>(4 * i), 4, offset);
        if (i < blob)
            data += 'x';
        offset += i + 1 == blob ? kHuge + 1 : (i == blob ? 5 : 1);
    }
    const std::size_t zerosAt = list.size() + data.size();
    const std::string frame = ZstdFrameWithZeros(list + data + "small", zerosAt, kHuge);
    ASSERT_LE(frame.size(), room);
    zim.replace(cluster + 1, frame.size(), frame);
    std::ofstream(temp / "big.zim", std::ios::binary | std::ios::trunc) << zim;

    const auto source = OpenBookSource((temp / "big.zim").string());
    EXPECT_TRUE(source->Lookup("index.html").bytes);
    const TPageLookup small = source->Lookup("small.html");
    EXPECT_TRUE(small.stored);
    EXPECT_FALSE(small.bytes);
    const auto names = source->PageNames();
    const auto named
        = std::find_if(names.begin(), names.end(), [](const std::string& n) { return n.ends_with("small.html"); });
    ASSERT_NE(named, names.end());
    const std::string why = source->WhyUnreadable(static_cast<std::size_t>(named - names.begin()), *named);
    EXPECT_NE(why.find("small.html"), std::string::npos) << why;
    EXPECT_NE(why.find("into its cluster"), std::string::npos) << why;

    // A cluster whose first offset claims a list of 3.75 GB: libzim would reserve room for it
    // before reading a byte.
    std::string claim(4, '\0');
    SetNumber(claim, 0, 4, 0xF0000000);
    const std::string lying = ZstdFrameWithZeros(claim + std::string(16, 'x'), 0, 0);
    zim.replace(cluster + 1, lying.size(), lying);
    std::ofstream(temp / "big.zim", std::ios::binary | std::ios::trunc) << zim;
    const auto reopened = OpenBookSource((temp / "big.zim").string());
    EXPECT_FALSE(reopened->Lookup("small.html").bytes);
    const std::string refused = reopened->WhyUnreadable(static_cast<std::size_t>(named - names.begin()), *named);
    EXPECT_NE(refused.find("offset list of 4026531840 bytes"), std::string::npos) << refused;
}
