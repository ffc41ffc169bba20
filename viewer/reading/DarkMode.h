#pragma once

#include <QObject>

class QWebEnginePage;

// The dark reading mode of the running book: every page, and every frame in it, switches between
// its own colours and dark ones at once, without reloading. Pictures, videos and canvases keep
// their own colours (only the colours the page sets are turned, never what is drawn), and a page
// that is already dark is left as it is.
//
// The engine has no dark setting that can change while it runs, so the host adds a style of its
// own to each document, from a script in a world of its own that the pages' scripts cannot see.
class TDarkMode : public QObject {
    Q_OBJECT
public:
    explicit TDarkMode(QWebEnginePage& page);

    bool IsOn() const { return on_; }
    void SetOn(bool on);

signals:
    void switched(bool on);

private:
    // Replaces the script every new document gets, so that it starts in the current mode.
    void InstallScript();

    QWebEnginePage& Page;
    bool on_ = false;
};

// The script's text for one mode: sets up the document it runs in, and defines the function that
// switches the document and its frames later.
QString DarkModeScript(bool on);
