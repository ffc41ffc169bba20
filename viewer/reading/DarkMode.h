#pragma once

#include <QColor>
#include <QObject>

class QWebEnginePage;

// The colours a page is shown in: its own, the sepia theme's tint of them, or dark ones.
enum class EPageColours { Own, Sepia, Dark };

// The sepia theme's paper and ink: the ground and text of the page and of the viewer's panels,
// and the ends the rewrite maps every colour the page sets onto.
inline const QColor kSepiaPaper(244, 236, 216);
inline const QColor kSepiaInk(91, 70, 54);

// The colour as CSS writes it and computed styles read: "rgb(244, 236, 216)".
QString CssRgb(const QColor& colour);

// The dark reading mode of the running book, and the sepia theme's tint, which rewrites colours
// the same way: every page, and every frame in it, switches between its own colours and the
// rewritten ones at once, without reloading. Pictures, videos and canvases keep their own colours
// (only the colours the page sets are rewritten, never what is drawn), and a page that is already
// dark is left as it is by the dark mode.
//
// The engine has no dark setting that can change while it runs, so the host adds a style of its
// own to each document, from a script in a world of its own that the pages' scripts cannot see.
class TDarkMode : public QObject {
    Q_OBJECT
public:
    explicit TDarkMode(QWebEnginePage& page);

    bool IsOn() const { return colours_ == EPageColours::Dark; }
    // On is dark; off goes back to the page's own colours from dark, and changes nothing else.
    void SetOn(bool on);
    EPageColours Colours() const { return colours_; }
    void SetColours(EPageColours colours);

signals:
    // Dark came on or went off.
    void switched(bool on);
    // Any change of the colours, dark or sepia.
    void coloursChanged(EPageColours colours);

private:
    // Replaces the script every new document gets, so that it starts in the current mode.
    void InstallScript();

    QWebEnginePage& Page;
    EPageColours colours_ = EPageColours::Own;
};

// The script's text for one mode: sets up the document it runs in, and defines the function that
// switches the document and its frames later (window.ebookPageColours, given the mode's name).
QString PageColoursScript(EPageColours colours);
// "dark", "sepia", or empty for the page's own colours.
QString PageColoursName(EPageColours colours);
