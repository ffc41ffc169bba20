#pragma once

#include <QWebEngineView>

class TEmbeddedBrowser;

// The engine's view; its context menu is the host's decision.
class TBrowserView : public QWebEngineView {
    Q_OBJECT
public:
    TBrowserView(TEmbeddedBrowser& host, QWidget* parent);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    TEmbeddedBrowser& Host;
};
