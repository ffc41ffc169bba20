#include "browserhost/BrowserOptions.h"

#include <array>

namespace {

// The engine's values, in member order. DLCTL_OFFLINE is the flag the engine also calls
// "offline if not connected".
constexpr std::array<uint32_t, 19> kDownloadControlFlags = { 0x10, 0x20, 0x40, 0x80, 0x100, 0x200, 0x400, 0x800, 0x1000,
    0x2000, 0x4000, 0x8000, 0x10000, 0x20000, 0x40000, 0x10000000, 0x20000000, 0x40000000, 0x80000000 };

// 0x8000 has no member: the flags jump from ENABLE_FORMS_AUTOCOMPLETE to ENABLE_INPLACE_NAVIGATION.
constexpr std::array<uint32_t, 17> kHostUIFlags = { 0x1, 0x2, 0x4, 0x8, 0x10, 0x20, 0x40, 0x80, 0x100, 0x200, 0x400,
    0x800, 0x1000, 0x2000, 0x4000, 0x10000, 0x20000 };

template <typename Option, std::size_t N>
int32_t ValueOf(TOptionSet<Option> options, const std::array<uint32_t, N>& flags)
{
    uint32_t value = 0;
    for (std::size_t i = 0; i < N; ++i) {
        if (options.Contains(static_cast<Option>(i)))
            value |= flags[i];
    }
    return static_cast<int32_t>(value);
}

} // namespace

uint32_t DownloadControlFlag(TDownloadControlOption option)
{
    return kDownloadControlFlags[static_cast<std::size_t>(option)];
}

uint32_t HostUIFlag(TUserInterfaceOption option)
{
    return kHostUIFlags[static_cast<std::size_t>(option)];
}

int32_t DownloadControlValueOf(TDownloadControlOptions options)
{
    return ValueOf(options, kDownloadControlFlags);
}

int32_t HostUIFlagsValueOf(TUserInterfaceOptions options)
{
    return ValueOf(options, kHostUIFlags);
}
