#pragma once

#include "viewer/reading/DarkMode.h"

class QWidget;

// The viewer's own panels (contents, search, find bar) in the page's colours: dark ones while the
// dark reading mode is on, paper and ink in the sepia theme, the desktop's otherwise. Widgets
// inside a panel follow it.
void ColourPanel(QWidget& panel, EPageColours colours);
