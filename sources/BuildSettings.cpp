#include "sources/BuildSettings.h"

#include "book/DateText.h"
#include "common/AnsiText.h"
#include "common/BookText.h"

#include <array>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <variant>

namespace {

enum class Kind { Text, Date, PageName, SizeMode, PositionMode, Integer, Flag };

struct Setting {
    std::string_view key; // in book.json
    std::string_view option; // on the command line
    std::string_view negated; // the option that turns a flag off
    Kind kind;
};

constexpr std::array<Setting, 16> kSettings { {
    { "title", "--title", "", Kind::Text },
    { "description", "--description", "", Kind::Text },
    { "aboutText", "--about-text", "", Kind::Text },
    { "aboutDate", "--about-date", "", Kind::Date },
    { "home", "--home", "", Kind::PageName },
    { "sizeMode", "--size-mode", "", Kind::SizeMode },
    { "positionMode", "--position-mode", "", Kind::PositionMode },
    { "windowLeft", "--window-left", "", Kind::Integer },
    { "windowTop", "--window-top", "", Kind::Integer },
    { "windowWidth", "--window-width", "", Kind::Integer },
    { "windowHeight", "--window-height", "", Kind::Integer },
    { "showMenu", "--show-menu", "--no-show-menu", Kind::Flag },
    { "showToolbar", "--show-toolbar", "--no-show-toolbar", Kind::Flag },
    { "resizable", "--resizable", "--no-resizable", Kind::Flag },
    { "allowPrint", "--allow-print", "--no-allow-print", Kind::Flag },
    { "allowContextMenu", "--allow-context-menu", "--no-allow-context-menu", Kind::Flag },
} };

// monostate: a JSON value of a type no setting takes (null, float, array, object).
using Value = std::variant<std::monostate, std::string, int64_t, bool>;

// A setting's value is wrong; the caller says where it came from.
struct SettingError {
    std::string message;
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

void Assign(const Setting& setting, const Value& value, BuildSettings& settings)
{
    BookHeaderSettings& header = settings.header;
    DisplaySettings& display = header.display;
    const std::string_view key = setting.key;
    switch (setting.kind) {
    case Kind::Text:
        if (key == "title") {
            header.title = AsBookText(setting, value);
            settings.titleSet = true;
        } else if (key == "description")
            header.description = AsBookText(setting, value);
        else {
            header.aboutText = AsBookText(setting, value);
            header.hasAboutText = !header.aboutText.empty();
        }
        return;
    case Kind::Date: {
        const std::string text = AsText(setting, value);
        header.hasAboutDate = !text.empty();
        header.aboutDate = 0;
        if (text.empty())
            return;
        const auto days = ParseIsoDate(text);
        if (!days)
            throw SettingError { Quoted(key) + " must be a date as YYYY-MM-DD, not '" + text + "'" };
        header.aboutDate = *days;
        return;
    }
    case Kind::PageName:
        settings.home = AsBookText(setting, value);
        return;
    case Kind::SizeMode:
        display.sizeMode = AsMode<WindowSizeMode>(
            setting, value, ParseWindowSizeMode, "Normal, Maximized, FullScreen, AdjustedToScreen");
        return;
    case Kind::PositionMode:
        display.positionMode = AsMode<WindowPositionMode>(
            setting, value, ParseWindowPositionMode, "Custom, DesktopCenter, ScreenCenter");
        return;
    case Kind::Integer: {
        const int32_t number = AsInteger(setting, value);
        const bool extent = key == "windowWidth" || key == "windowHeight";
        const int32_t lowest = extent ? 1 : -kMaxWindowExtent;
        if (number < lowest || number > kMaxWindowExtent)
            throw SettingError { Quoted(key) + " must be " + std::to_string(lowest) + " to "
                + std::to_string(kMaxWindowExtent) + " pixels, not " + std::to_string(number) };
        if (key == "windowLeft")
            display.windowLeft = number;
        else if (key == "windowTop")
            display.windowTop = number;
        else if (key == "windowWidth")
            display.windowWidth = number;
        else
            display.windowHeight = number;
        return;
    }
    case Kind::Flag: {
        const auto* flag = std::get_if<bool>(&value);
        if (flag == nullptr)
            throw SettingError { Quoted(key) + " must be true or false" };
        if (key == "showMenu")
            display.showMenu = *flag;
        else if (key == "showToolbar")
            display.showToolbar = *flag;
        else if (key == "resizable")
            display.resizable = *flag;
        else if (key == "allowPrint")
            display.allowPrint = *flag;
        else
            display.allowContextMenu = *flag;
        return;
    }
    }
}

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

// One entry of "contents": {"title": TEXT, "page": "PAGE[#ANCHOR]", "children": [...]}.
TContents ReadAuthorContents(const std::string& fileName, const nlohmann::json& list, std::size_t depth)
{
    const std::string where = fileName + ": \"contents\" ";
    if (!list.is_array())
        throw Exception(where + "must be a list of entries");
    if (depth > 64)
        throw Exception(where + "nests deeper than 64 levels");
    TContents entries;
    for (const auto& item : list) {
        if (!item.is_object() || !item.contains("title") || !item.at("title").is_string())
            throw Exception(where + "entries must be objects with a \"title\" text");
        TContentsEntry entry;
        entry.title = item.at("title").get<std::string>();
        for (const auto& [key, value] : item.items()) {
            if (key == "page" && value.is_string()) {
                const std::string page = value.get<std::string>();
                const std::size_t hash = page.find('#');
                entry.page = page.substr(0, hash);
                if (hash != std::string::npos)
                    entry.anchor = page.substr(hash + 1);
            } else if (key == "children") {
                entry.children = ReadAuthorContents(fileName, value, depth + 1);
            } else if (key != "title") {
                throw Exception(where + "entry \"" + entry.title + "\": unknown key or wrong type of " + Quoted(key));
            }
        }
        if (entry.page.empty() && entry.children.empty())
            throw Exception(where + "entry \"" + entry.title + "\" names no page and holds no entries");
        entries.push_back(std::move(entry));
    }
    return entries;
}

} // namespace

BuildSettings DefaultBuildSettings()
{
    BuildSettings settings;
    DisplaySettings& display = settings.header.display;
    display.sizeMode = WindowSizeMode::Normal;
    display.positionMode = WindowPositionMode::DesktopCenter;
    display.windowWidth = 1024;
    display.windowHeight = 768;
    display.showMenu = true;
    display.showToolbar = true;
    display.resizable = true;
    display.allowPrint = true;
    display.allowContextMenu = false;
    return settings;
}

const std::vector<OptionSpec>& SettingOptions()
{
    static const std::vector<OptionSpec> options = [] {
        std::vector<OptionSpec> list;
        for (const Setting& setting : kSettings) {
            list.push_back({ setting.option, "", setting.kind != Kind::Flag });
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
    nlohmann::json json;
    try {
        json = nlohmann::json::parse(text.str());
    } catch (const nlohmann::json::parse_error& error) {
        throw Exception(fileName + ": not valid JSON: " + error.what());
    }
    if (!json.is_object())
        throw Exception(fileName + ": must hold one JSON object of settings");
    for (const auto& [key, value] : json.items()) {
        if (key == "exclude") {
            ApplyExcludes(fileName, value, settings);
            continue;
        }
        if (key == "contents") {
            settings.contents = ReadAuthorContents(fileName, value, 0);
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
            Assign(*setting, FromJson(value), settings);
        } catch (const SettingError& error) {
            throw Exception(fileName + ": " + error.message);
        }
    }
}

void ApplySettingOptions(const CommandLine& line, BuildSettings& settings)
{
    for (const Setting& setting : kSettings) {
        try {
            if (setting.kind == Kind::Flag) {
                if (line.Has(setting.option))
                    Assign(setting, true, settings);
                if (line.Has(setting.negated))
                    Assign(setting, false, settings);
            } else if (const auto value = line.Value(setting.option)) {
                Assign(setting, *value, settings);
            }
        } catch (const SettingError& error) {
            throw EUsageError(std::string(setting.option) + ": " + error.message);
        }
    }
}
