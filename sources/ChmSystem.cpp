#include "sources/ChmSystem.h"

#include <array>
#include <utility>

namespace {

enum ChmSystemCode : uint16_t {
    kContentsFile = 0,
    kIndexFile = 1,
    kDefaultTopic = 2,
    kTitle = 3,
    kLocale = 4,
};

uint32_t LittleEndian(std::string_view bytes, std::size_t at, std::size_t count)
{
    uint32_t value = 0;
    for (std::size_t i = 0; i < count; ++i)
        value |= uint32_t { static_cast<unsigned char>(bytes[at + i]) } << (8 * i);
    return value;
}

// A record's text ends at its first NUL.
std::string RecordText(std::string_view data)
{
    return std::string(data.substr(0, data.find('\0')));
}

} // namespace

ChmSystem ReadChmSystem(std::string_view bytes)
{
    ChmSystem system;
    std::size_t at = 4;
    while (at + 4 <= bytes.size()) {
        const auto code = static_cast<uint16_t>(LittleEndian(bytes, at, 2));
        const std::size_t length = LittleEndian(bytes, at + 2, 2);
        at += 4;
        if (length > bytes.size() - at)
            break;
        const std::string_view data = bytes.substr(at, length);
        at += length;
        switch (code) {
        case kContentsFile:
            system.contentsFile = RecordText(data);
            break;
        case kIndexFile:
            system.indexFile = RecordText(data);
            break;
        case kDefaultTopic:
            system.homePage = RecordText(data);
            break;
        case kTitle:
            system.title = RecordText(data);
            break;
        case kLocale:
            if (data.size() >= 4)
                system.localeId = LittleEndian(data, 0, 4);
            break;
        default:
            break;
        }
    }
    return system;
}

std::string LanguageOfLocale(uint32_t localeId)
{
    static constexpr std::array<std::pair<uint16_t, const char*>, 16> kLocales { {
        { 0x0409, "en-US" },
        { 0x0809, "en-GB" },
        { 0x0407, "de-DE" },
        { 0x040c, "fr-FR" },
        { 0x0410, "it-IT" },
        { 0x0c0a, "es-ES" },
        { 0x0413, "nl-NL" },
        { 0x0416, "pt-BR" },
        { 0x0816, "pt-PT" },
        { 0x0419, "ru-RU" },
        { 0x0415, "pl-PL" },
        { 0x0405, "cs-CZ" },
        { 0x041d, "sv-SE" },
        { 0x0411, "ja-JP" },
        { 0x0804, "zh-CN" },
        { 0x0412, "ko-KR" },
    } };
    for (const auto& [id, name] : kLocales) {
        if (id == (localeId & 0xffff))
            return name;
    }
    return {};
}
