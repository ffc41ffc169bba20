#pragma once

#include <QDialog>

// A small dialog listing every key and mouse action of the viewer, opened from the Help menu and
// with F1: the keys are those of the actions the parent window carries (KeyRows).
class TKeysDialog : public QDialog {
    Q_OBJECT
public:
    explicit TKeysDialog(QWidget* parent);
};
