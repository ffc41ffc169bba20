#pragma once

#include <QString>
#include <QStringList>

// Page margins in inches, kept with the print options.
struct TMargins {
    double Left = 0;
    double Right = 0;
    double Top = 0;
    double Bottom = 0;

    bool operator==(const TMargins&) const = default;
};

enum class TPrintOrientationOption { poPortrait, poLandscape };

// What printing puts around the page. Header and Footer hold the codes that printing expands:
// "&w" the window title, "&u" the address, "&d" the date, "&p" the page number, "&P" the page
// count, "&b" an alignment break and "&&" an ampersand.
struct TPrintOptions {
    QStringList HTMLHeader { QStringLiteral("<HTML></HTML>") };
    QString Header;
    QString Footer;
    TMargins Margins;
    TPrintOrientationOption Orientation = TPrintOrientationOption::poPortrait;
};
