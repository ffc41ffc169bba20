#pragma once

#include <QObject>
#include <QString>

class QWebEnginePage;
class TEmbeddedBrowser;

// Reading on past a page's end: Space, Page Down, the wheel and the Down key at the end of a page
// ask for the next page in reading order, and Shift+Space, Page Up, the wheel and the Up key at
// its top for the previous one, which then opens at its end. A key meant for a form field, a
// link or a button, one the page took for itself, one held down, and a key with Ctrl, Alt or Meta
// never turn the page; the wheel turns it only with a second push after a pause at the end, so
// that a movement that reaches the end does not carry on into the next page by itself. The page
// also reports how far down it is scrolled.
//
// A script in the host's own world watches the keys and the wheel in the page (where the page's
// own handlers and its scroll position are known) and tells the host through the console, each
// line carrying a token the page's own scripts cannot read.
class TContinuousReading : public QObject {
    Q_OBJECT
public:
    TContinuousReading(QWebEnginePage& page, TEmbeddedBrowser& browser);

    // The next page that loads opens at its end, scrolled as far down as it goes.
    void OpenNextLoadAtEnd() { openAtEnd_ = true; }
    // How far down the page shown is scrolled, 0 to 100 (100 for a page that needs no scrolling).
    int Percent() const { return percent_; }

signals:
    // +1: on to the next page; -1: back to the previous one.
    void turnAsked(int direction);
    void scrolled(int percent);
    // Esc reached the page and nothing in it took the key (a popup of its own, say).
    void escapeUnclaimed();

private:
    void Heard(const QString& message);
    void Loaded(bool ok);

    QWebEnginePage& Page;
    const QString prefix_; // "ebook-reading TOKEN "
    bool openAtEnd_ = false;
    int percent_ = 0;
};

// The script's text, with the token that marks its console lines.
QString ContinuousReadingScript(const QString& token);
