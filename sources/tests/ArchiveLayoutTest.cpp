#include "common/Exception.h"
#include "sources/ChmSource.h"
#include "sources/OpenSource.h"
#include "sources/tests/SampleSources.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

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
