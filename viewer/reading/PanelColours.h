#pragma once

class QWidget;

// The viewer's own panels (contents, search, find bar) in the reading mode's colours: dark ones
// while the dark reading mode is on, the desktop's otherwise. Widgets inside a panel follow it.
void ColourPanel(QWidget& panel, bool dark);
