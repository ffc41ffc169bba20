#include "browserhost/EngineTitle.h"

#include <QString>
#include <QUrl>

namespace {

// The address as the engine shows it: no scheme, escapes decoded, no trailing slash.
QString Shown(const QString& text)
{
    QString shown = QUrl::fromPercentEncoding(text.toUtf8());
    if (shown.startsWith(QLatin1String("//")))
        shown.remove(0, 2);
    if (shown.endsWith(QLatin1Char('/')))
        shown.chop(1);
    return shown;
}

} // namespace

bool IsEngineStandInTitle(const QString& title, const QUrl& url)
{
    if (title.isEmpty() || url.isEmpty())
        return false;
    const QString shownTitle = Shown(title);
    for (const QUrl& candidate : { url, url.adjusted(QUrl::RemoveFragment) }) {
        if (shownTitle == Shown(candidate.toString(QUrl::RemoveScheme))
            || shownTitle == Shown(candidate.toString(QUrl::FullyEncoded)))
            return true;
    }
    return false;
}
