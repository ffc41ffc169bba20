#include "packaging/portable/PayloadUnpack.h"

#include "packaging/portable/LauncherError.h"
#include "packaging/portable/TarExtractor.h"

#include <cerrno>
#include <memory>
#include <unistd.h>
#include <vector>
#include <zstd.h>

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace {

// The compressor's long mode may use windows beyond the decoder's default limit of 2^27.
constexpr int kMaxWindowLog = 31;

struct TFreeDecoder {
    void operator()(ZSTD_DCtx* decoder) const { ZSTD_freeDCtx(decoder); }
};
struct TFreeHashState {
    void operator()(XXH3_state_t* state) const { XXH3_freeState(state); }
};

[[noreturn]] void Damaged(const std::string& why)
{
    throw TLauncherError(ELauncherFailure::Damaged, "the runtime's payload is damaged: " + why);
}

} // namespace

void UnpackPayload(int programFd, const TPayloadFooter& footer, int targetFd)
{
    std::unique_ptr<ZSTD_DCtx, TFreeDecoder> decoder(ZSTD_createDCtx());
    std::unique_ptr<XXH3_state_t, TFreeHashState> hash(XXH3_createState());
    if (!decoder || !hash)
        throw TLauncherError(ELauncherFailure::UnpackFailed, "out of memory");
    ZSTD_DCtx_setParameter(decoder.get(), ZSTD_d_windowLogMax, kMaxWindowLog);
    XXH3_128bits_reset(hash.get());

    TTarExtractor extractor(targetFd);
    std::vector<char> input(1 << 20);
    std::vector<char> output(1 << 20);
    uint64_t position = footer.payloadOffset;
    const uint64_t end = footer.payloadOffset + footer.payloadSize;
    std::size_t frameLeft = 1; // what ZSTD_decompressStream still expects; 0 at a frame's end
    while (position < end) {
        const std::size_t want = static_cast<std::size_t>(std::min<uint64_t>(input.size(), end - position));
        const ssize_t got = ::pread(programFd, input.data(), want, static_cast<off_t>(position));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            throw TLauncherError(ELauncherFailure::Damaged, WithErrno("cannot read the runtime's payload", errno));
        position += static_cast<uint64_t>(got);
        XXH3_128bits_update(hash.get(), input.data(), static_cast<std::size_t>(got));
        ZSTD_inBuffer in { input.data(), static_cast<std::size_t>(got), 0 };
        while (in.pos < in.size) {
            ZSTD_outBuffer out { output.data(), output.size(), 0 };
            frameLeft = ZSTD_decompressStream(decoder.get(), &out, &in);
            if (ZSTD_isError(frameLeft))
                Damaged(ZSTD_getErrorName(frameLeft));
            extractor.Feed(output.data(), out.pos);
        }
    }
    // Output the decoder still holds once all input is in.
    while (frameLeft != 0) {
        ZSTD_inBuffer in { nullptr, 0, 0 };
        ZSTD_outBuffer out { output.data(), output.size(), 0 };
        frameLeft = ZSTD_decompressStream(decoder.get(), &out, &in);
        if (ZSTD_isError(frameLeft))
            Damaged(ZSTD_getErrorName(frameLeft));
        extractor.Feed(output.data(), out.pos);
        if (out.pos == 0)
            break;
    }
    const XXH128_hash_t sum = XXH3_128bits_digest(hash.get());
    if (sum.high64 != footer.hashHigh || sum.low64 != footer.hashLow)
        Damaged("its hash is not the one recorded with it");
    if (frameLeft != 0)
        Damaged("the compressed stream ends early");
    if (!extractor.Finished())
        Damaged("the archive ends early");
}
