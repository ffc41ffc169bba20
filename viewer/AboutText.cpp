#include "viewer/AboutText.h"

#include <QDate>

#include <cmath>

QString ComposeAboutMemo(
    const QString& description, bool hasAboutText, const QString& aboutText, bool hasAboutDate, const QString& dateText)
{
    QString memo = description;
    if (!hasAboutText && !hasAboutDate)
        return memo;
    memo += QStringLiteral("\r\n\r\n");
    if (hasAboutText && hasAboutDate)
        memo += aboutText + QStringLiteral(" (") + dateText + QLatin1Char(')');
    else if (hasAboutText)
        memo += aboutText;
    else
        memo += dateText;
    return memo;
}

QString AboutDateText(double aboutDate, const QLocale& locale)
{
    const QDate day = QDate(1899, 12, 30).addDays(static_cast<qint64>(std::floor(aboutDate)));
    return locale.toString(day, QLocale::ShortFormat);
}
