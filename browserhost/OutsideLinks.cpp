#include "browserhost/OutsideLinks.h"

#include <QDesktopServices>

namespace {

TOutsideOpener& CurrentOpener()
{
    static TOutsideOpener opener;
    return opener;
}

bool IsEnginesOwnScheme(const QString& scheme)
{
    return scheme == QLatin1String("about") || scheme == QLatin1String("data") || scheme == QLatin1String("blob");
}

} // namespace

QUrl SiteOf(const QUrl& url)
{
    return url.adjusted(QUrl::RemoveUserInfo | QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment);
}

bool LeadsOutside(const QUrl& url, const QUrl& ownSite)
{
    if (ownSite.isEmpty() || IsEnginesOwnScheme(url.scheme()))
        return false;
    return url.scheme().compare(ownSite.scheme(), Qt::CaseInsensitive) != 0
        || url.host().compare(ownSite.host(), Qt::CaseInsensitive) != 0 || url.port(80) != ownSite.port(80);
}

bool OpenOutside(const QUrl& url)
{
    if (CurrentOpener())
        return CurrentOpener()(url);
    return QDesktopServices::openUrl(url);
}

TOutsideOpener SetOutsideOpener(TOutsideOpener opener)
{
    return std::exchange(CurrentOpener(), std::move(opener));
}
