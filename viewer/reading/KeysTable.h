#pragma once

#include <QString>

#include <vector>

// One key or mouse action of the viewer and what it does, as the Keys dialog lists it.
struct TKeyRow {
    QString keys;
    QString action;
};

// Every key and mouse action the viewer answers, in the order the Keys dialog shows them. A
// feature that adds a key adds its row here (AddKeyRow) when it is set up.
const std::vector<TKeyRow>& KeyRows();
// Adds a row once: a second row with the same keys replaces the first.
void AddKeyRow(const QString& keys, const QString& action);
