#include "print/PageRetirement.h"

#include <QHash>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>

namespace {

struct TRendering {
    int Count = 0;
    // Set once the page's owner has let it go.
    QWebEngineProfile* RetiredProfile = nullptr;
    bool Retired = false;
};

QHash<QWebEnginePage*, TRendering>& Renderings()
{
    static QHash<QWebEnginePage*, TRendering> renderings;
    return renderings;
}

void DeleteBoth(QWebEnginePage* page, QWebEngineProfile* profile)
{
    delete page;
    delete profile;
}

} // namespace

void PdfRenderingStarted(QWebEnginePage* page)
{
    ++Renderings()[page].Count;
}

void PdfRenderingEnded(QWebEnginePage* page)
{
    const auto it = Renderings().find(page);
    if (it == Renderings().end() || --it->Count > 0)
        return;
    const TRendering rendering = *it;
    Renderings().erase(it);
    // Not from inside the engine's own callback: once control is back in the event loop.
    if (rendering.Retired)
        QTimer::singleShot(0, [page, profile = rendering.RetiredProfile] { DeleteBoth(page, profile); });
}

void RetirePage(QWebEnginePage* page, QWebEngineProfile* profile)
{
    const auto it = Renderings().find(page);
    if (it == Renderings().end())
        return DeleteBoth(page, profile);
    page->setParent(nullptr);
    profile->setParent(nullptr);
    page->setLifecycleState(QWebEnginePage::LifecycleState::Frozen);
    it->Retired = true;
    it->RetiredProfile = profile;
}
