#include "packaging/portable/PayloadLocation.h"

#include "book/BookFormat.h"
#include "packaging/portable/LauncherError.h"

#include <cstring>
#include <unistd.h>

namespace {

bool ReadAt(int fd, void* buffer, std::size_t count, uint64_t position)
{
    return ::pread(fd, buffer, count, static_cast<off_t>(position)) == static_cast<ssize_t>(count);
}

std::optional<TPayloadFooter> FooterEndingAt(int fd, uint64_t end)
{
    unsigned char bytes[kFooterSize];
    if (end < kFooterSize || !ReadAt(fd, bytes, sizeof bytes, end - kFooterSize))
        return std::nullopt;
    auto footer = DecodeFooter(bytes);
    // The payload lies right before its footer, after the launcher.
    if (!footer || footer->payloadOffset == 0 || footer->payloadOffset > end - kFooterSize
        || footer->payloadSize != end - kFooterSize - footer->payloadOffset)
        return std::nullopt;
    return footer;
}

// The position of the book that ends the file, or nothing: the trailer names the header, which
// starts with the counted magic.
std::optional<uint64_t> AppendedBookStart(int fd, uint64_t size)
{
    unsigned char trailer[kTrailerSize];
    if (size < kTrailerSize || !ReadAt(fd, trailer, sizeof trailer, size - kTrailerSize))
        return std::nullopt;
    const uint32_t header = static_cast<uint32_t>(trailer[0]) | (static_cast<uint32_t>(trailer[1]) << 8)
        | (static_cast<uint32_t>(trailer[2]) << 16) | (static_cast<uint32_t>(trailer[3]) << 24);
    const std::size_t magicSize = 4 + kBookMagic.size();
    if (header >= 0x80000000u || header + magicSize > size)
        return std::nullopt;
    unsigned char magic[4 + 16];
    if (!ReadAt(fd, magic, magicSize, header))
        return std::nullopt;
    const bool counted = magic[0] == kBookMagic.size() && magic[1] == 0 && magic[2] == 0 && magic[3] == 0;
    if (!counted || std::memcmp(magic + 4, kBookMagic.data(), kBookMagic.size()) != 0)
        return std::nullopt;
    return header;
}

} // namespace

TPayloadFooter LocatePayload(int fd, uint64_t size, const std::string& fileName)
{
    if (auto footer = FooterEndingAt(fd, size))
        return *footer;
    if (const auto book = AppendedBookStart(fd, size))
        if (auto footer = FooterEndingAt(fd, *book))
            return *footer;
    throw TLauncherError(ELauncherFailure::Damaged,
        fileName + " holds no whole runtime: the file is truncated or damaged (copy the program again)");
}
