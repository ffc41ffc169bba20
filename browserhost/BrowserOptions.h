#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

// What the browser may download and run, one member per download-control flag of the engine it
// stands in for. The order is the one stored forms and callers rely on.
enum class TDownloadControlOption {
    DLCTL_DLIMAGES,
    DLCTL_VIDEOS,
    DLCTL_BGSOUNDS,
    DLCTL_NO_SCRIPTS,
    DLCTL_NO_JAVA,
    DLCTL_NO_RUNACTIVEXCTLS,
    DLCTL_NO_DLACTIVEXCTLS,
    DLCTL_DOWNLOADONLY,
    DLCTL_NO_FRAMEDOWNLOAD,
    DLCTL_RESYNCHRONIZE,
    DLCTL_PRAGMA_NO_CACHE,
    DLCTL_NO_BEHAVIORS,
    DLCTL_NO_METACHARSET,
    DLCTL_URL_ENCODING_DISABLE_UTF8,
    DLCTL_URL_ENCODING_ENABLE_UTF8,
    DLCTL_FORCEOFFLINE,
    DLCTL_NO_CLIENTPULL,
    DLCTL_SILENT,
    DLCTL_OFFLINE,
};

// How the browser draws and behaves, one member per host-UI flag (DOCHOSTUIFLAG_ and the name).
enum class TUserInterfaceOption {
    DIALOG,
    DISABLE_HELP_MENU,
    NO3DBORDER,
    SCROLL_NO,
    DISABLE_SCRIPT_INACTIVE,
    OPENNEWWIN,
    DISABLE_OFFSCREEN,
    FLAT_SCROLLBAR,
    DIV_BLOCKDEFAULT,
    ACTIVATE_CLIENTHIT_ONLY,
    OVERRIDEBEHAVIORFACTORY,
    CODEPAGELINKEDFONTS,
    URL_ENCODING_DISABLE_UTF8,
    URL_ENCODING_ENABLE_UTF8,
    ENABLE_FORMS_AUTOCOMPLETE,
    ENABLE_INPLACE_NAVIGATION,
    IME_ENABLE_RECONVERSION,
};

// A set of options, held as one bit per member position.
template <typename Option> class TOptionSet {
public:
    constexpr TOptionSet() = default;
    constexpr TOptionSet(std::initializer_list<Option> options)
    {
        for (Option option : options)
            Include(option);
    }

    constexpr bool Contains(Option option) const { return (bits_ & Bit(option)) != 0; }
    constexpr void Include(Option option) { bits_ |= Bit(option); }
    constexpr void Exclude(Option option) { bits_ &= ~Bit(option); }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr bool operator==(const TOptionSet&) const = default;

private:
    static constexpr uint32_t Bit(Option option) { return uint32_t { 1 } << static_cast<unsigned>(option); }
    uint32_t bits_ = 0;
};

using TDownloadControlOptions = TOptionSet<TDownloadControlOption>;
using TUserInterfaceOptions = TOptionSet<TUserInterfaceOption>;

// The engine's flag for a member, and the OR of the flags of a set (0 for the empty set).
uint32_t DownloadControlFlag(TDownloadControlOption option);
uint32_t HostUIFlag(TUserInterfaceOption option);
int32_t DownloadControlValueOf(TDownloadControlOptions options);
int32_t HostUIFlagsValueOf(TUserInterfaceOptions options);

// What a new browser downloads: images, videos and background sounds (the value 0x70).
inline constexpr TDownloadControlOptions kDefaultDownloadOptions = { TDownloadControlOption::DLCTL_DLIMAGES,
    TDownloadControlOption::DLCTL_VIDEOS, TDownloadControlOption::DLCTL_BGSOUNDS };
