#pragma once

#include <QString>

// The program's title: "eBook" at start, then what the main window sets (the caption it shows, or
// "Invalid eBook"). Message boxes and dialogs of the program are captioned with it.
//
// It is kept apart from Qt's application display name on purpose: Qt appends that name to the
// caption of every window that does not already end with it, which would change the captions the
// viewer sets.
QString ApplicationTitle();
void SetApplicationTitle(const QString& title);
