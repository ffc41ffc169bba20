#pragma once

#include <QLocale>
#include <QString>

// The About box's text: the description, then, after an empty line, the about text and the date
// in parentheses, either of them alone, or nothing more when the book has neither. Lines end
// with CR LF.
QString ComposeAboutMemo(const QString& description, bool hasAboutText, const QString& aboutText, bool hasAboutDate,
    const QString& dateText);

// A book date (days since 30 December 1899, the fraction the time of day) as the locale writes a
// date in short, without the time.
QString AboutDateText(double aboutDate, const QLocale& locale);
