#include "viewer/app/WindowSystemChoice.h"

#include "book/BookReader.h"
#include "book/OpenedBook.h"

#include <cstdlib>

std::optional<std::string> PlatformForPlacement(const TEnvironment& environment, const DisplaySettings& display)
{
    const auto set = [&](const char* name) {
        const auto value = environment(name);
        return value && !value->empty();
    };
    const bool wayland
        = set("WAYLAND_DISPLAY") || environment("XDG_SESSION_TYPE") == std::optional<std::string>("wayland");
    if (set("QT_QPA_PLATFORM") || !wayland || !set("DISPLAY"))
        return std::nullopt;
    const bool placed
        = display.sizeMode == WindowSizeMode::Normal || display.sizeMode == WindowSizeMode::AdjustedToScreen;
    if (!placed)
        return std::nullopt;
    return "xcb";
}

void ChooseWindowSystem(const std::string& bookFile)
{
    const TEnvironment environment = [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
    };
    if (!environment("WAYLAND_DISPLAY") && !environment("XDG_SESSION_TYPE"))
        return; // not a Wayland session: no need to read the book twice
    try {
        const auto stream = OpenBookStream(bookFile);
        TBookReader reader;
        if (!reader.LoadFromStream(*stream))
            return;
        if (const auto platform = PlatformForPlacement(environment, reader.DisplaySettings()))
            ::setenv("QT_QPA_PLATFORM", platform->c_str(), 1);
    } catch (const std::exception&) {
        // The window reports a book that cannot be opened, in its own words.
    }
}
