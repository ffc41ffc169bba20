#pragma once

#include <QObject>
#include <QString>

class QWebEnginePage;

// Turns pages where the reading style lays the page out in columns (TReadingChoices::paged): the
// keys that scroll (Space, Page Down, the arrows, Home, End) turn a page or two instead, and a
// small counter in the page's corner says "page 3 of 9" for the chapter shown. A document that is
// not paged is left to scroll as it does. At the last page the keys go on to the page as before,
// so that whatever reads on past a chapter's end still can.
class TPagedReading : public QObject {
    Q_OBJECT
public:
    explicit TPagedReading(QWebEnginePage& page);
};

QString PagedReadingScript();
