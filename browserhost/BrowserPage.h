#pragma once

#include <QWebEnginePage>

class TEmbeddedBrowser;

// The engine's page with the host's decisions: every navigation, frames included, goes through
// the browser's before-navigate event, and script dialogs and new windows are the host's.
class TBrowserPage : public QWebEnginePage {
    Q_OBJECT
public:
    TBrowserPage(QWebEngineProfile* profile, TEmbeddedBrowser& host);

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptPrompt(
        const QUrl& securityOrigin, const QString& msg, const QString& defaultValue, QString* result) override;
    QWebEnginePage* createWindow(WebWindowType type) override;
    // Passed on as the browser's consoleMessage: the host's own page scripts report through it.
    void javaScriptConsoleMessage(
        JavaScriptConsoleMessageLevel level, const QString& message, int lineNumber, const QString& sourceID) override;

private:
    TEmbeddedBrowser& Host;
};
