#pragma once

#include <QString>

// What the codes of a print header or footer stand for on one printed sheet.
struct THeaderFooterValues {
    QString WindowTitle; // "&w"
    QString Url; // "&u"
    QString Date; // "&d", already in the user's short date format
    int PageNumber = 0; // "&p", counted from 1
    int PageCount = 0; // "&P"
};

// A header or footer line, split at its alignment breaks.
struct THeaderFooterParts {
    QString Left;
    QString Centre;
    QString Right;

    bool operator==(const THeaderFooterParts&) const = default;
};

// Expands the codes of a header or footer text in one pass (a title that itself contains "&p"
// stays as it is) and splits it at "&b": one part is left-aligned, two are left and right, three
// are left, centre and right; a fourth and later part join the right one, so that nothing the
// book wrote is lost. "&&" is one "&". An unknown code such as "&x", and a lone "&" at the end,
// stay as written: a text like "R&D" in a header reads as typed.
THeaderFooterParts ExpandHeaderFooter(const QString& text, const THeaderFooterValues& values);
