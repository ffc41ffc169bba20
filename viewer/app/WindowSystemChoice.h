#pragma once

#include "book/BookTypes.h"

#include <functional>
#include <optional>
#include <string>

// What the process environment says, by variable name; nothing for an unset variable.
using TEnvironment = std::function<std::optional<std::string>(const char* name)>;

// A Wayland window cannot place itself. When the book asks for a position (a normal window at
// given bounds or centred, or one covering the screen) in a Wayland session that has XWayland, and
// the user has not chosen a platform, the viewer runs on X11 instead: "xcb". Nothing otherwise.
std::optional<std::string> PlatformForPlacement(const TEnvironment& environment, const DisplaySettings& display);

// Reads the display settings of the book the viewer is about to open and, when
// PlatformForPlacement asks for it, sets QT_QPA_PLATFORM. Must run before the application object
// exists; a book that cannot be read is left for the window to report.
void ChooseWindowSystem(const std::string& bookFile);
