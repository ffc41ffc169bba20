#include "print/HeaderFooterText.h"

#include <QStringList>

THeaderFooterParts ExpandHeaderFooter(const QString& text, const THeaderFooterValues& values)
{
    QStringList parts { QString() };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'&' || i + 1 == text.size()) {
            parts.back() += c;
            continue;
        }
        const QChar code = text[++i];
        switch (code.unicode()) {
        case u'w':
            parts.back() += values.WindowTitle;
            break;
        case u'u':
            parts.back() += values.Url;
            break;
        case u'd':
            parts.back() += values.Date;
            break;
        case u'p':
            parts.back() += QString::number(values.PageNumber);
            break;
        case u'P':
            parts.back() += QString::number(values.PageCount);
            break;
        case u'b':
            parts.append(QString());
            break;
        case u'&':
            parts.back() += u'&';
            break;
        default:
            parts.back() += c;
            parts.back() += code;
            break;
        }
    }
    switch (parts.size()) {
    case 1:
        return { parts[0], {}, {} };
    case 2:
        return { parts[0], {}, parts[1] };
    default:
        return { parts[0], parts[1], parts.mid(2).join(QString()) };
    }
}
