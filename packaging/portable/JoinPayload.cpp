// Makes the one-file viewer: LAUNCHER PAYLOAD OUTPUT writes the launcher, the payload (a
// zstd-compressed tar) and the footer that finds and names it.
#include "packaging/portable/PayloadFooter.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <zstd.h>

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace {

std::string ReadWhole(const char* fileName)
{
    std::ifstream in(fileName, std::ios::binary);
    if (!in)
        throw std::runtime_error(std::string("cannot read ") + fileName);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::cerr << "usage: ebook-portable-join LAUNCHER PAYLOAD.tar.zst OUTPUT\n";
        return 2;
    }
    try {
        const std::string launcher = ReadWhole(argv[1]);
        const std::string payload = ReadWhole(argv[2]);
        TPayloadFooter footer;
        footer.payloadOffset = launcher.size();
        footer.payloadSize = payload.size();
        const unsigned long long unpacked = ZSTD_getFrameContentSize(payload.data(), payload.size());
        if (unpacked != ZSTD_CONTENTSIZE_UNKNOWN && unpacked != ZSTD_CONTENTSIZE_ERROR)
            footer.unpackedSize = unpacked;
        const XXH128_hash_t hash = XXH3_128bits(payload.data(), payload.size());
        footer.hashHigh = hash.high64;
        footer.hashLow = hash.low64;
        const std::string part = std::string(argv[3]) + ".part";
        {
            std::ofstream out(part, std::ios::binary | std::ios::trunc);
            out << launcher << payload << EncodeFooter(footer);
            if (!out.flush())
                throw std::runtime_error("cannot write " + part);
        }
        if (std::rename(part.c_str(), argv[3]) != 0)
            throw std::runtime_error(std::string("cannot write ") + argv[3]);
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "ebook-portable-join: " << error.what() << "\n";
        return 1;
    }
}
