// `ebook-pack verify` on a small book cut short at every length and damaged by a few thousand
// single-byte flips: it always ends, with 2 "Invalid eBook: FILE" exactly when the reader cannot
// load the file, 1 when a page cannot be extracted or the home page is missing, and 0 otherwise.
// In-process for every file; through the real binary for a sample.

#include "tools/tests/PackFixture.h"

#include "book/BookReader.h"
#include "book/BookWriter.h"
#include "common/Exception.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <random>

namespace {

constexpr int kFlips = 3000;
constexpr uint32_t kFlipSeed = 20261207;
// One file in this many also goes through the real binary.
constexpr int kBinarySampleEvery = 97;

std::string SmallBook()
{
    TBookWriter writer;
    writer.settings.title = "Damaged";
    std::string text;
    for (int i = 0; i < 10; ++i)
        text += "<p>Paragraph " + std::to_string(i) + "</p>\n";
    writer.AddPage("/index.htm", text);
    writer.AddEmptyPage("/empty.htm");
    writer.AddPage("/blank.htm", "");
    writer.AddPage("/pictures/cover.png", std::string("\x89PNG\r\n\x1a\n", 8) + std::string(120, '\x42'));
    TMemoryStream stream;
    writer.SaveToStream(stream);
    return stream.ToString();
}

// The exit code verify owes this file, worked out with the reader directly.
int ExpectedExit(const std::string& bytes)
{
    TMemoryStream stream;
    stream.WriteString(bytes);
    TBookReader reader;
    if (!reader.LoadFromStream(stream))
        return 2;
    try {
        reader.GetHomePageName();
    } catch (const Exception&) {
        return 1;
    }
    for (int i = 0; i < reader.Pages().Count(); ++i) {
        TMemoryStream page;
        if (!reader.ExtractPageAt(i, page))
            return 1;
    }
    return 0;
}

struct Tally {
    int files = 0;
    int binaryRuns = 0;
    int counts[3] = { 0, 0, 0 }; // by exit code
};

void CheckVerify(const std::string& bytes, const TempFolder& temp, Tally& tally)
{
    // A fresh name for every file: rewriting one file in place makes ext4 flush it to the disk
    // each time, which costs seconds over a few thousand files.
    const std::string book = (temp / ("damaged-" + std::to_string(tally.files) + ".ebook")).string();
    WriteFile(book, bytes);
    const int expected = ExpectedExit(bytes);
    const ToolRun run = Pack({ "verify", book });
    ASSERT_EQ(run.exitCode, expected) << run.err;
    if (expected == 2) {
        EXPECT_EQ(run.err, "Invalid eBook: " + book + "\n");
    }
    if (expected == 1) {
        EXPECT_NE(run.err.find("cannot be extracted"), std::string::npos) << run.err;
    }
    ++tally.counts[expected];
    if (tally.files++ % kBinarySampleEvery == 0) {
        const ToolRun binary = RunPackBinary("verify " + book, temp);
        EXPECT_EQ(binary.exitCode, expected) << binary.err;
        EXPECT_EQ(binary.err, run.err);
        ++tally.binaryRuns;
    }
    std::filesystem::remove(book);
}

} // namespace

TEST(DamagedBookVerify, PrefixesAndByteFlipsEndWithTheReadersVerdict)
{
    TempFolder temp;
    const std::string book = SmallBook();
    Tally prefixes;
    for (std::size_t length = 0; length < book.size(); ++length)
        CheckVerify(book.substr(0, length), temp, prefixes);

    Tally flips;
    std::mt19937 random(kFlipSeed);
    for (int flip = 0; flip < kFlips; ++flip) {
        std::string damaged = book;
        damaged[random() % damaged.size()] ^= static_cast<char>(1 + random() % 255);
        CheckVerify(damaged, temp, flips);
    }
    std::cout << "prefixes: " << prefixes.files << ", flips: " << flips.files
              << ", invalid: " << prefixes.counts[2] + flips.counts[2]
              << ", failed pages: " << prefixes.counts[1] + flips.counts[1]
              << ", success: " << prefixes.counts[0] + flips.counts[0]
              << ", through the binary: " << prefixes.binaryRuns + flips.binaryRuns << "\n";
    EXPECT_GT(prefixes.counts[2], 0);
    EXPECT_GT(flips.counts[2], 0);
    EXPECT_GT(flips.counts[1], 0);
    EXPECT_GT(flips.counts[0], 0);
}
