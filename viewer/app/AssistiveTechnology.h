#pragma once

#include <string>

// Whether a screen reader or other assistive technology asks for the desktop's accessibility:
// the AT-SPI bus (org.a11y.Bus on the session bus) says IsEnabled or ScreenReaderEnabled. No
// session bus, or no AT-SPI bus running on it, means no such program can read the window.
// Nothing is started by asking: an AT-SPI bus that is not running is not activated.
bool AssistiveTechnologyIsOn();

// The engine's flags with the page's content exposed to assistive technology: the engine shows
// only its own widgets to the accessibility tree unless its renderer is told to build one for the
// page. The flags already given are kept.
std::string FlagsWithPageAccessibility(const std::string& flags);

// Applies both before the engine starts: sets QTWEBENGINE_CHROMIUM_FLAGS when assistive
// technology is on (or EBOOK_ACCESSIBILITY=1 asks for it; =0 keeps the page out). Call before the
// application object is made: the engine takes its flags while that is made.
void ExposePageToAssistiveTechnology();
