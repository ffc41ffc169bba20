#include "browserhost/BrowserView.h"

#include "browserhost/EmbeddedBrowser.h"

#include <QContextMenuEvent>

namespace {
// The menu identifier the browser passes for a right-click on the page itself.
constexpr uint32_t CONTEXT_MENU_DEFAULT = 0;
} // namespace

TBrowserView::TBrowserView(TEmbeddedBrowser& host, QWidget* parent)
    : QWebEngineView(parent)
    , Host(host)
{
}

void TBrowserView::contextMenuEvent(QContextMenuEvent* event)
{
    // S_OK means the host has dealt with the menu: the page shows none. Any other answer lets the
    // engine show its own.
    if (Host.ShowContextMenu(CONTEXT_MENU_DEFAULT, event->globalPos()) == S_OK) {
        event->accept();
        return;
    }
    QWebEngineView::contextMenuEvent(event);
}
