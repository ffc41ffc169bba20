#include "packaging/portable/PayloadFooter.h"

#include <cstdio>
#include <cstring>

namespace {

void PutNumber(std::string& out, uint64_t value)
{
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

uint64_t GetNumber(const unsigned char* bytes)
{
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = (value << 8) | bytes[i];
    return value;
}

} // namespace

std::string EncodeFooter(const TPayloadFooter& footer)
{
    std::string out(kFooterMagic, sizeof kFooterMagic);
    PutNumber(out, footer.payloadOffset);
    PutNumber(out, footer.payloadSize);
    PutNumber(out, footer.unpackedSize);
    PutNumber(out, footer.hashHigh);
    PutNumber(out, footer.hashLow);
    out.append(4, '\xFF');
    return out;
}

std::optional<TPayloadFooter> DecodeFooter(const unsigned char* bytes)
{
    if (std::memcmp(bytes, kFooterMagic, sizeof kFooterMagic) != 0)
        return std::nullopt;
    const unsigned char* numbers = bytes + sizeof kFooterMagic;
    for (std::size_t i = kFooterSize - 4; i < kFooterSize; ++i)
        if (bytes[i] != 0xFF)
            return std::nullopt;
    TPayloadFooter footer;
    footer.payloadOffset = GetNumber(numbers);
    footer.payloadSize = GetNumber(numbers + 8);
    footer.unpackedSize = GetNumber(numbers + 16);
    footer.hashHigh = GetNumber(numbers + 24);
    footer.hashLow = GetNumber(numbers + 32);
    return footer;
}

std::string FooterHashName(const TPayloadFooter& footer)
{
    char text[33];
    std::snprintf(text, sizeof text, "%016llx%016llx", static_cast<unsigned long long>(footer.hashHigh),
        static_cast<unsigned long long>(footer.hashLow));
    return text;
}
