#pragma once

#include <QString>

class QObject;
class QWebEngineProfile;

// A profile that keeps nothing between runs and writes nothing to disk: off the record, no HTTP
// cache, no persistent cookies, no spell-check dictionaries, no page icons. The viewer and the
// whole-book export both make theirs here. The caller owns it through parent
// and must destroy every page that uses it first.
QWebEngineProfile* CreateTransientProfile(QObject* parent);

// The engine's user agent with token added to its platform part ("(X11; Linux x86_64; token)"),
// or unchanged for an empty token.
QString UserAgentWithToken(const QString& engineAgent, const QString& token);
