#pragma once

#include <QList>
#include <QString>

#include <vector>

class QAction;

// One key or mouse action of the viewer and what it does, as the Keys dialog lists it.
struct TKeyRow {
    QString keys;
    QString action;
};

// The Keys dialog's rows: every action given that has a shortcut (its keys, and its text as the
// menu shows it, without the mnemonic and the trailing dots), in the order given, then the mouse's
// actions and the keys that belong to no action. A key added to an action shows by itself.
std::vector<TKeyRow> KeyRows(const QList<QAction*>& actions);
