#pragma once

class QString;
class QUrl;

// The engine gives a page without a title its address as the title ("127.0.0.1:11532/a.htm"),
// and reports that before a page's own title arrives. True for such a stand-in.
bool IsEngineStandInTitle(const QString& title, const QUrl& url);
