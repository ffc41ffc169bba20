#include "browserhost/BrowserProfile.h"

#include <QWebEngineProfile>
#include <QWebEngineSettings>

QWebEngineProfile* CreateTransientProfile(QObject* parent)
{
    // A profile made without a storage name is off the record: cookies, local storage and the
    // visited-links list live in memory only.
    auto* profile = new QWebEngineProfile(parent);
    profile->setHttpCacheType(QWebEngineProfile::NoCache);
    profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    profile->setSpellCheckEnabled(false);
    // Nothing here shows a page's icon, and every page load would ask the book for /favicon.ico.
    profile->settings()->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    return profile;
}

QString UserAgentWithToken(const QString& engineAgent, const QString& token)
{
    if (token.isEmpty())
        return engineAgent;
    const qsizetype close = engineAgent.indexOf(QLatin1Char(')'));
    if (close < 0)
        return engineAgent + QStringLiteral(" (") + token + QLatin1Char(')');
    QString agent = engineAgent;
    agent.insert(close, QStringLiteral("; ") + token);
    return agent;
}
