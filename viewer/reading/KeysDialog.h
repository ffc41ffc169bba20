#pragma once

#include <QDialog>

// A small dialog listing every key and mouse action of the viewer (the key table), opened from
// the Help menu and with F1.
class TKeysDialog : public QDialog {
    Q_OBJECT
public:
    explicit TKeysDialog(QWidget* parent);
};
