#include "browserhost/EmbeddedBrowser.h"

#include "browserhost/BrowserPage.h"
#include "browserhost/BrowserProfile.h"
#include "browserhost/BrowserView.h"
#include "browserhost/EngineTitle.h"
#include "browserhost/OutsideLinks.h"
#include "browserhost/ViewMouse.h"
#include "print/BrowserPrinter.h"
#include "print/PageRetirement.h"

#include <QGuiApplication>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineDownloadRequest>
#include <QWebEngineHistory>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWindow>

TEmbeddedBrowser::TEmbeddedBrowser(QWidget* parent)
    : QFrame(parent)
    , profile_(CreateTransientProfile(this))
    , page_(new TBrowserPage(profile_, *this))
    , view_(new TBrowserView(*this, this))
    , mouse_(new TViewMouse(*view_))
    , engineUserAgent_(profile_->httpUserAgent())
{
    view_->setPage(page_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    setFocusProxy(view_);

    connect(page_, &QWebEnginePage::titleChanged, this, &TEmbeddedBrowser::PageTitleChanged);
    connect(page_, &QWebEnginePage::urlChanged, this, &TEmbeddedBrowser::PageUrlChanged);
    connect(page_, &QWebEnginePage::windowCloseRequested, this, &TEmbeddedBrowser::PageCloseRequested);
    connect(page_, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        if (clearHistoryAfterLoad_) {
            clearHistoryAfterLoad_ = false;
            page_->history()->clear();
        }
        if (ok)
            reloadedAfterCrash_ = false;
    });
    connect(page_, &QWebEnginePage::renderProcessTerminated, this,
        [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
            RenderProcessEnded(status != QWebEnginePage::NormalTerminationStatus);
        });
    connect(page_, &QWebEnginePage::selectionChanged, this, [this] { UpdateUI(); });
    connect(profile_, &QWebEngineProfile::downloadRequested, this, &TEmbeddedBrowser::DownloadRequested);
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &TEmbeddedBrowser::FocusWindowChanged);
    // The engine makes the widget that takes the keys when the first page shows.
    view_->installEventFilter(this);

    // Both options go through their setters, as a stored form would set them, so the engine is
    // told what it may download and how to draw before the first page.
    SetDownloadOptions(kDefaultDownloadOptions);
    SetUserInterfaceOptions({});
}

TEmbeddedBrowser::~TEmbeddedBrowser()
{
    // The engine requires a page to go before its profile, and the view before the page it shows;
    // a page that is rendering a print goes once the engine has answered.
    delete view_;
    RetirePage(page_, profile_);
}

void TEmbeddedBrowser::Navigate(const QUrl& url, int32_t flags)
{
    clearHistoryAfterLoad_ = (flags & navNoHistory) != 0;
    page_->load(url);
}

void TEmbeddedBrowser::Print()
{
    (new TBrowserPrinter(*this, *page_, PrintOptions))->PrintWithDialog(window());
}

void TEmbeddedBrowser::PrintToFile(const QString& path, std::function<void(bool printed)> done)
{
    (new TBrowserPrinter(*this, *page_, PrintOptions))->PrintToPdfFile(path, std::move(done));
}

void TEmbeddedBrowser::SetUserAgent(const QString& token)
{
    userAgent_ = token;
    profile_->setHttpUserAgent(UserAgentWithToken(engineUserAgent_, token));
}

QWebEngineView* TEmbeddedBrowser::View() const
{
    return view_;
}

QWebEnginePage* TEmbeddedBrowser::Page() const
{
    return page_;
}

void TEmbeddedBrowser::AmbientPropertyChanged(int32_t dispId)
{
    if (dispId == DISPID_AMBIENT_DLCONTROL)
        ApplyEngineOptions();
}

void TEmbeddedBrowser::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    ResizeBorder(rect(), false);
}

bool TEmbeddedBrowser::PageNavigationRequest(const QUrl& url, int navigationType, bool isMainFrame)
{
    // A frame's own address is part of the page that holds it; only a link followed inside the
    // frame is the reader going somewhere.
    const bool readerGoes = isMainFrame || navigationType == QWebEnginePage::NavigationTypeLinkClicked;
    if (readerGoes && LeadsOutside(url, OwnSite)) {
        if (!OpenOutside(url) && OnOutsideOpenFailed)
            OnOutsideOpenFailed(url);
        return false;
    }
    QString translated;
    if (TranslateUrl(0, url.toString(), translated) == S_OK && !translated.isEmpty() && translated != url.toString()) {
        page_->load(QUrl(translated));
        return false;
    }
    bool cancel = false;
    if (OnBeforeNavigate2)
        OnBeforeNavigate2(this, url, isMainFrame, cancel);
    if (isMainFrame && !cancel)
        announcedUrl_ = url.toString(QUrl::FullyEncoded);
    return !cancel;
}

void TEmbeddedBrowser::PageUrlChanged(const QUrl& url)
{
    const QString encoded = url.toString(QUrl::FullyEncoded);
    if (url.isEmpty() || encoded == announcedUrl_)
        return;
    announcedUrl_ = encoded;
    bool ignored = false;
    inSameDocumentNavigation_ = true;
    if (OnBeforeNavigate2)
        OnBeforeNavigate2(this, url, true, ignored);
    inSameDocumentNavigation_ = false;
    emit sameDocumentNavigated(url);
}

void TEmbeddedBrowser::PageTitleChanged(const QString& title)
{
    if (!OnTitleChange)
        return;
    OnTitleChange(this, IsEngineStandInTitle(title, page_->url()) ? QString() : title);
}

void TEmbeddedBrowser::PageCloseRequested()
{
    bool canClose = true;
    if (OnCloseQuery)
        OnCloseQuery(this, canClose);
    if (canClose)
        window()->close();
}

void TEmbeddedBrowser::RenderProcessEnded(bool crashed)
{
    if (!crashed || reloadedAfterCrash_)
        return;
    reloadedAfterCrash_ = true;
    // Reloading from inside the engine's own signal is not supported: it runs once control is
    // back in the event loop.
    QTimer::singleShot(0, page_, [page = page_] { page->triggerAction(QWebEnginePage::Reload); });
}

void TEmbeddedBrowser::ApplyEngineOptions()
{
    // Read back through the host answers, so that an application's OnInvoke or OnGetHostInfo
    // decides what the engine is told.
    QVariant answer;
    const uint32_t download = Invoke(DISPID_AMBIENT_DLCONTROL, DISPATCH_PROPERTYGET, &answer) == S_OK
        ? answer.toUInt()
        : DownloadControlFlag(TDownloadControlOption::DLCTL_DLIMAGES);
    TDocHostUIInfo info;
    GetHostInfo(info);

    auto has = [download](TDownloadControlOption option) { return (download & DownloadControlFlag(option)) != 0; };
    QWebEngineSettings* settings = page_->settings();
    settings->setAttribute(QWebEngineSettings::AutoLoadImages, has(TDownloadControlOption::DLCTL_DLIMAGES));
    settings->setAttribute(QWebEngineSettings::JavascriptEnabled, !has(TDownloadControlOption::DLCTL_NO_SCRIPTS));
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, !has(TDownloadControlOption::DLCTL_NO_RUNACTIVEXCTLS));
    settings->setAttribute(
        QWebEngineSettings::ShowScrollBars, (info.dwFlags & HostUIFlag(TUserInterfaceOption::SCROLL_NO)) == 0);
    const bool border = (info.dwFlags & HostUIFlag(TUserInterfaceOption::NO3DBORDER)) == 0;
    setFrameShape(border ? QFrame::StyledPanel : QFrame::NoFrame);
    setFrameShadow(QFrame::Sunken);
}
