#pragma once

#include "browserhost/DocHostHandler.h"
#include "print/PrintOptions.h"

#include <QFrame>
#include <QUrl>

#include <functional>

class QKeyEvent;
class QWebEngineDownloadRequest;
class QWebEnginePage;
class QWindow;
class QWebEngineProfile;
class QWebEngineView;
class TBrowserPage;
class TBrowserView;
class TViewMouse;

// Navigation flags: no entry in the engine's own history, and no use of its cache.
inline constexpr int32_t navNoHistory = 2;
inline constexpr int32_t navNoReadFromCache = 4;
inline constexpr int32_t navNoWriteToCache = 8;

using TBeforeNavigate2Event = std::function<void(QObject* Sender, const QUrl& URL, bool isMainFrame, bool& Cancel)>;
using TTitleChangeEvent = std::function<void(QObject* Sender, const QString& Text)>;

// The component in which the viewer shows its pages: the browser engine inside a frame that draws
// the 3-D border, with the host's answers (see TDocHostHandler) applied to the engine, the
// navigation and title events, print options and close requests.
//
// Owns its engine profile, which keeps nothing between runs, and the page and view using it.
class TEmbeddedBrowser : public QFrame, public TDocHostHandler {
    Q_OBJECT
public:
    explicit TEmbeddedBrowser(QWidget* parent = nullptr);
    ~TEmbeddedBrowser() override;

    // Loads the address in the background. With navNoHistory the engine keeps no travel log of
    // its own for it; the engine never caches.
    void Navigate(const QUrl& url, int32_t flags);

    // The site the pages come from (scheme, host and port). A link, script or new window leading
    // anywhere else opens in the user's browser or mail program and never reaches the page, nor
    // OnBeforeNavigate2; what a page itself loads from elsewhere (pictures, scripts) still loads.
    // Empty: every address opens here.
    QUrl OwnSite;

    // Kept with the component; nothing reads it.
    QString HelpFile;
    TPrintOptions PrintOptions;
    // Retitle the script dialogs that take the focus from the owner window.
    bool ReplaceCaption = false;
    // Kept as data: this platform's floating-point exceptions are masked whatever it says.
    bool fpExceptions = true;

    // The browser's print command: prints the current page through the print dialog, with the
    // Header and Footer of PrintOptions on every sheet and the page laid out within its Margins.
    // Before a page has loaded, or where nobody can answer the dialog, it does nothing; a failure
    // on the way is dropped without a message.
    void Print();
    // The same print into a PDF file, without a dialog, for tests: done(true) once the file is
    // written, done(false) when nothing was printed.
    void PrintToFile(const QString& path, std::function<void(bool printed)> done);

    const QString& UserAgent() const { return userAgent_; }
    // Adds the token to the engine's user agent for as long as the component lives.
    void SetUserAgent(const QString& token);

    // Called with every navigation the engine is about to make, in a frame or the whole page,
    // with the target address; setting Cancel stops it. A move within the page shown (a link to
    // #name, a script's history entry) is reported once it has happened, and cannot be cancelled.
    TBeforeNavigate2Event OnBeforeNavigate2;
    // Called with each title the page reports. A page without a title reports an empty one (the
    // engine's stand-in, its own address, is not passed on).
    TTitleChangeEvent OnTitleChange;
    // Asks where a download goes, given the name the server suggests; an empty answer cancels it.
    // Unassigned, the user is asked with a save dialog (and, where no dialog can be answered, the
    // download is cancelled): nothing is written that the user did not name.
    std::function<QString(const QString& suggestedName)> OnChooseDownloadFile;
    // Called when an address outside the own site found no program of the desktop to open it.
    std::function<void(const QUrl& url)> OnOutsideOpenFailed;

    QWebEngineView* View() const;
    QWebEnginePage* Page() const;
    // The side buttons and Ctrl with the wheel over the page.
    TViewMouse* Mouse() const { return mouse_; }
    // True while OnBeforeNavigate2 hears of a move within the page shown, which has happened.
    bool InSameDocumentNavigation() const { return inSameDocumentNavigation_; }

signals:
    // The page shown moved to another address without loading (after OnBeforeNavigate2 has heard
    // of it).
    void sameDocumentNavigated(const QUrl& url);
    // A line a script of the page (or one the host added to it) wrote to the console.
    void consoleMessage(const QString& message);

protected:
    void AmbientPropertyChanged(int32_t dispId) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TBrowserPage;
    bool PageNavigationRequest(const QUrl& url, int navigationType, bool isMainFrame);
    void PageUrlChanged(const QUrl& url);
    void PageTitleChanged(const QString& title);
    void PageCloseRequested();
    void RenderProcessEnded(bool crashed);
    void ApplyEngineOptions();
    // Keys reaching the page are offered to the host first (TranslateAccelerator), but for those
    // the page must have: backspace, return and the cursor keys left and right.
    bool OfferKey(const QKeyEvent& key);
    void WatchForKeys(QObject* child);
    // The owner window losing the focus to another window: a dialog is retitled when
    // ReplaceCaption is set, and OnShowDialog hears of it.
    void FocusWindowChanged(QWindow* window);
    void DownloadRequested(QWebEngineDownloadRequest* download);

    // Destroyed in the reverse order: the view before the page it shows, the page before its
    // profile.
    QWebEngineProfile* profile_ = nullptr;
    TBrowserPage* page_ = nullptr;
    TBrowserView* view_ = nullptr;
    TViewMouse* mouse_ = nullptr; // a Qt child of the view
    // The last whole-page address OnBeforeNavigate2 heard of, fully encoded: an address change
    // that differs from it happened without a navigation request.
    QString announcedUrl_;
    bool inSameDocumentNavigation_ = false;
    QWindow* focusWindow_ = nullptr;
    QString userAgent_;
    QString engineUserAgent_;
    // Set when a navigation asked for no history entry, cleared when its load ends.
    bool clearHistoryAfterLoad_ = false;
    // A dead render process is reloaded once; a second death before a load completes is left.
    bool reloadedAfterCrash_ = false;
};
