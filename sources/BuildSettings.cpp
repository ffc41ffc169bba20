#include "sources/BuildSettings.h"

#include "book/DateText.h"
#include "common/AnsiText.h"
#include "common/BookText.h"
#include "sources/BookSource.h"
#include "sources/SettingsFileReading.h"

#include <array>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <variant>

namespace {

// monostate: a JSON value of a type no setting takes (null, float, array, object).
using Value = std::variant<std::monostate, std::string, int64_t, bool>;

// A setting's value is wrong; the caller says where it came from.
struct SettingError {
    std::string message;
};

struct Setting;
// Checks a value and stores it in the one field its setting names.
using Setter = void (*)(const Setting&, const Value&, BuildSettings&);

struct Setting {
    std::string_view key; // in book.json
    std::string_view option; // on the command line
    std::string_view negated; // the option that turns a flag off; empty for settings that take a value
    Setter set;
    bool IsFlag() const { return !negated.empty(); }
};

std::string Quoted(std::string_view key)
{
    return "\"" + std::string(key) + "\"";
}

std::string AsText(const Setting& setting, const Value& value)
{
    if (const auto* text = std::get_if<std::string>(&value))
        return *text;
    throw SettingError { Quoted(setting.key) + " must be a text" };
}

std::string AsBookText(const Setting& setting, const Value& value)
{
    const auto stored = Utf8ToBookText(AsText(setting, value));
    if (!stored)
        throw SettingError { Quoted(setting.key) + " is not valid UTF-8 text" };
    return *stored;
}

int32_t AsInteger(const Setting& setting, const Value& value)
{
    int32_t result = 0;
    if (const auto* number = std::get_if<int64_t>(&value)) {
        if (*number >= INT32_MIN && *number <= INT32_MAX)
            return static_cast<int32_t>(*number);
    } else if (const auto* text = std::get_if<std::string>(&value)) {
        if (TryStrToInt(*text, result))
            return result;
    }
    throw SettingError { Quoted(setting.key) + " must be a 32-bit integer" };
}

// A mode is a name, a display name, or the stored byte value as a number.
template <typename Mode>
Mode AsMode(
    const Setting& setting, const Value& value, std::optional<Mode> (*parse)(std::string_view), std::string_view names)
{
    if (const auto* text = std::get_if<std::string>(&value)) {
        if (const auto mode = parse(*text))
            return *mode;
    }
    if (!std::holds_alternative<bool>(value)) {
        try {
            const int32_t number = AsInteger(setting, value);
            if (number >= 0 && number <= 255)
                return static_cast<Mode>(number);
        } catch (const SettingError&) {
        }
    }
    const std::string shown
        = std::holds_alternative<std::string>(value) ? " '" + std::get<std::string>(value) + "'" : "";
    throw SettingError { "unknown " + Quoted(setting.key) + shown + "; use one of " + std::string(names)
        + " or 0-255" };
}

void SetTitle(const Setting& setting, const Value& value, BuildSettings& settings)
{
    settings.header.title = AsBookText(setting, value);
    settings.titleSet = true;
}

void SetDescription(const Setting& setting, const Value& value, BuildSettings& settings)
{
    settings.header.description = AsBookText(setting, value);
}

void SetAboutText(const Setting& setting, const Value& value, BuildSettings& settings)
{
    settings.header.aboutText = AsBookText(setting, value);
    settings.header.hasAboutText = !settings.header.aboutText.empty();
}

void SetAboutDate(const Setting& setting, const Value& value, BuildSettings& settings)
{
    BookHeaderSettings& header = settings.header;
    const std::string text = AsText(setting, value);
    header.hasAboutDate = !text.empty();
    header.aboutDate = 0;
    if (text.empty())
        return;
    const auto days = ParseIsoDate(text);
    if (!days)
        throw SettingError { Quoted(setting.key) + " must be a date as YYYY-MM-DD, not '" + text + "'" };
    header.aboutDate = *days;
}

void SetHome(const Setting& setting, const Value& value, BuildSettings& settings)
{
    settings.home = AsBookText(setting, value);
}

void SetSizeMode(const Setting& setting, const Value& value, BuildSettings& settings)
{
    settings.header.display.sizeMode = AsMode<WindowSizeMode>(
        setting, value, ParseWindowSizeMode, "Normal, Maximized, FullScreen, AdjustedToScreen");
}

void SetPositionMode(const Setting& setting, const Value& value, BuildSettings& settings)
{
    settings.header.display.positionMode
        = AsMode<WindowPositionMode>(setting, value, ParseWindowPositionMode, "Custom, DesktopCenter, ScreenCenter");
}

// A window position may lie off the left or top of the screen; an extent is at least one pixel.
template <int32_t DisplaySettings::*Field, int32_t Lowest>
void SetPixels(const Setting& setting, const Value& value, BuildSettings& settings)
{
    const int32_t number = AsInteger(setting, value);
    if (number < Lowest || number > kMaxWindowExtent)
        throw SettingError { Quoted(setting.key) + " must be " + std::to_string(Lowest) + " to "
            + std::to_string(kMaxWindowExtent) + " pixels, not " + std::to_string(number) };
    settings.header.display.*Field = number;
}

template <bool DisplaySettings::*Field>
void SetFlag(const Setting& setting, const Value& value, BuildSettings& settings)
{
    const auto* flag = std::get_if<bool>(&value);
    if (flag == nullptr)
        throw SettingError { Quoted(setting.key) + " must be true or false" };
    settings.header.display.*Field = *flag;
}

constexpr std::array<Setting, 16> kSettings { {
    { "title", "--title", "", SetTitle },
    { "description", "--description", "", SetDescription },
    { "aboutText", "--about-text", "", SetAboutText },
    { "aboutDate", "--about-date", "", SetAboutDate },
    { "home", "--home", "", SetHome },
    { "sizeMode", "--size-mode", "", SetSizeMode },
    { "positionMode", "--position-mode", "", SetPositionMode },
    { "windowLeft", "--window-left", "", SetPixels<&DisplaySettings::windowLeft, -kMaxWindowExtent> },
    { "windowTop", "--window-top", "", SetPixels<&DisplaySettings::windowTop, -kMaxWindowExtent> },
    { "windowWidth", "--window-width", "", SetPixels<&DisplaySettings::windowWidth, 1> },
    { "windowHeight", "--window-height", "", SetPixels<&DisplaySettings::windowHeight, 1> },
    { "showMenu", "--show-menu", "--no-show-menu", SetFlag<&DisplaySettings::showMenu> },
    { "showToolbar", "--show-toolbar", "--no-show-toolbar", SetFlag<&DisplaySettings::showToolbar> },
    { "resizable", "--resizable", "--no-resizable", SetFlag<&DisplaySettings::resizable> },
    { "allowPrint", "--allow-print", "--no-allow-print", SetFlag<&DisplaySettings::allowPrint> },
    { "allowContextMenu", "--allow-context-menu", "--no-allow-context-menu",
        SetFlag<&DisplaySettings::allowContextMenu> },
} };

const Setting* FindByKey(std::string_view key)
{
    for (const Setting& setting : kSettings) {
        if (setting.key == key)
            return &setting;
    }
    return nullptr;
}

Value FromJson(const nlohmann::json& json)
{
    if (json.is_string())
        return json.get<std::string>();
    if (json.is_boolean())
        return json.get<bool>();
    if (json.is_number_integer())
        return json.get<int64_t>();
    return std::monostate();
}

// "exclude": one glob pattern or a list of them.
void ApplyExcludes(const std::string& fileName, const nlohmann::json& value, BuildSettings& settings)
{
    const nlohmann::json list = value.is_string() ? nlohmann::json::array({ value }) : value;
    if (!list.is_array())
        throw Exception(fileName + ": \"exclude\" must be a pattern or a list of patterns");
    for (const auto& pattern : list) {
        if (!pattern.is_string() || pattern.get<std::string>().empty())
            throw Exception(fileName + ": \"exclude\" patterns must be non-empty texts");
        settings.excludes.push_back(pattern.get<std::string>());
    }
}

} // namespace

BuildSettings DefaultBuildSettings()
{
    BuildSettings settings;
    settings.header.display = TBookSource::DefaultDisplay();
    return settings;
}

const std::vector<OptionSpec>& SettingOptions()
{
    static const std::vector<OptionSpec> options = [] {
        std::vector<OptionSpec> list;
        for (const Setting& setting : kSettings) {
            list.push_back({ setting.option, "", !setting.IsFlag() });
            if (!setting.negated.empty())
                list.push_back({ setting.negated, "", false });
        }
        return list;
    }();
    return options;
}

void ApplySettingsFile(const std::string& fileName, BuildSettings& settings)
{
    std::ifstream file(fileName, std::ios::binary);
    if (!file)
        throw Exception("Cannot open file " + fileName);
    std::stringstream text;
    text << file.rdbuf();
    TSettingsFileText read = ReadSettingsFile(fileName, text.view());
    if (read.contents)
        settings.contents = std::move(*read.contents);
    for (const auto& [key, value] : read.members.items()) {
        if (key == "exclude") {
            ApplyExcludes(fileName, value, settings);
            continue;
        }
        if (key == "contentsOpen") {
            if (!value.is_boolean())
                throw Exception(fileName + ": \"contentsOpen\" must be true or false");
            settings.contentsOpen = value.get<bool>();
            continue;
        }
        const Setting* setting = FindByKey(key);
        if (setting == nullptr)
            throw Exception(fileName + ": unknown setting " + Quoted(key));
        try {
            setting->set(*setting, FromJson(value), settings);
        } catch (const SettingError& error) {
            throw Exception(fileName + ": " + error.message);
        }
    }
}

void ApplySettingOptions(const CommandLine& line, BuildSettings& settings)
{
    for (const Setting& setting : kSettings) {
        try {
            if (setting.IsFlag()) {
                if (line.Has(setting.option))
                    setting.set(setting, true, settings);
                if (line.Has(setting.negated))
                    setting.set(setting, false, settings);
            } else if (const auto value = line.Value(setting.option)) {
                setting.set(setting, *value, settings);
            }
        } catch (const SettingError& error) {
            throw EUsageError(std::string(setting.option) + ": " + error.message);
        }
    }
}
