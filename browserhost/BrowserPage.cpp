#include "browserhost/BrowserPage.h"

#include "browserhost/ApplicationTitle.h"
#include "browserhost/EmbeddedBrowser.h"
#include "print/DialogPolicy.h"

namespace {

// The message-box types and answers that script dialogs are described with to the host.
constexpr int32_t MB_OK = 0x0;
constexpr int32_t MB_OKCANCEL = 0x1;
constexpr int32_t MB_ICONQUESTION = 0x20;
constexpr int32_t MB_ICONWARNING = 0x30;
constexpr int32_t IDOK = 1;

// The caption a script dialog is described with: the program's own title, as the engine's own
// dialogs are not the browser's brand here.
QString ScriptDialogCaption()
{
    return ApplicationTitle();
}

// The page a new window would have shown: it never shows anything, and hands the first address it
// is sent to the browser's own page, so that a link or script asking for a new window opens its
// page in the one window there is.
class TNewWindowPage : public QWebEnginePage {
public:
    TNewWindowPage(QWebEngineProfile* profile, QWebEnginePage& target)
        : QWebEnginePage(profile, &target)
        , Target(target)
    {
    }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override
    {
        if (isMainFrame && !handedOn_ && url.scheme() != QLatin1String("about")) {
            handedOn_ = true;
            Target.load(url);
            deleteLater();
        }
        return false;
    }

private:
    QWebEnginePage& Target;
    bool handedOn_ = false;
};

} // namespace

TBrowserPage::TBrowserPage(QWebEngineProfile* profile, TEmbeddedBrowser& host)
    : QWebEnginePage(profile, &host)
    , Host(host)
{
}

bool TBrowserPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame)
{
    return Host.PageNavigationRequest(url, type, isMainFrame);
}

void TBrowserPage::javaScriptAlert(const QUrl& securityOrigin, const QString& msg)
{
    int32_t result = 0;
    if (Host.ShowMessage(msg, ScriptDialogCaption(), MB_OK | MB_ICONWARNING, result) == S_OK)
        return;
    if (!ModalBoxesCanBeAnswered())
        return;
    Host.EnableModeless(false);
    QWebEnginePage::javaScriptAlert(securityOrigin, msg);
    Host.EnableModeless(true);
}

bool TBrowserPage::javaScriptConfirm(const QUrl& securityOrigin, const QString& msg)
{
    int32_t result = 0;
    if (Host.ShowMessage(msg, ScriptDialogCaption(), MB_OKCANCEL | MB_ICONQUESTION, result) == S_OK)
        return result == IDOK;
    if (!ModalBoxesCanBeAnswered())
        return false;
    Host.EnableModeless(false);
    const bool confirmed = QWebEnginePage::javaScriptConfirm(securityOrigin, msg);
    Host.EnableModeless(true);
    return confirmed;
}

bool TBrowserPage::javaScriptPrompt(
    const QUrl& securityOrigin, const QString& msg, const QString& defaultValue, QString* result)
{
    if (!ModalBoxesCanBeAnswered())
        return false;
    Host.EnableModeless(false);
    const bool answered = QWebEnginePage::javaScriptPrompt(securityOrigin, msg, defaultValue, result);
    Host.EnableModeless(true);
    return answered;
}

QWebEnginePage* TBrowserPage::createWindow(WebWindowType)
{
    return new TNewWindowPage(profile(), *this);
}

void TBrowserPage::javaScriptConsoleMessage(
    JavaScriptConsoleMessageLevel level, const QString& message, int lineNumber, const QString& sourceID)
{
    emit Host.consoleMessage(message);
    QWebEnginePage::javaScriptConsoleMessage(level, message, lineNumber, sourceID);
}
