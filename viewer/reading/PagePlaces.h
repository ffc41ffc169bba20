#pragma once

#include "viewer/reading/ScrollMemory.h"

#include <QObject>
#include <QPointF>
#include <QString>

#include <optional>
#include <utility>

class QWebEnginePage;

// Where the reader was on each page of the history, so that Back and Forward return there.
//
// The page is asked for its place when the reader leaves it: the question reaches the page shown
// before the next one replaces it. A link to a place on the same page has moved it already by
// the time the engine reports the move, so a script in the host's own world notes the place as
// such a link is clicked. (The engine's own scroll reports are not used: under X they may never
// come.)
class TPagePlaces : public QObject {
    Q_OBJECT
public:
    explicit TPagePlaces(QWebEnginePage& page);

    // The reader is leaving the entry url; sameDocument: for a place on the same page.
    void Leaving(const QString& url, bool sameDocument);
    // Back or Forward is going to url: once it shows, the page goes where the reader was.
    void Expect(const QString& url);
    // The entry url shows now (loaded, or moved to within the page).
    void Arrived(const QString& url);

private:
    QWebEnginePage& Page;
    TScrollMemory memory_;
    std::optional<std::pair<QString, QPointF>> expected_;
};
