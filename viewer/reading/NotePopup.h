#pragma once

#include <QObject>
#include <QString>

class QWebEnginePage;

// Footnotes shown where they are referred to: a click on a link to a note of the book (a link
// marked as a note reference, or one whose target is a footnote, endnote or rear note) shows the
// note's content in a small box under the link instead of leaving the page; Esc, a click
// elsewhere or the box's own close button take it away. With Ctrl or Shift held, or another
// button, the link works as a link. A note in another page of the book is read from the book.
//
// The box is made by a script in a world of its own, in every document and frame; its content is
// a copy of the note in a shadow tree, so that neither the box's style nor the page's reach the
// other.
class TNotePopup : public QObject {
    Q_OBJECT
public:
    explicit TNotePopup(QWebEnginePage& page);
};

QString NotePopupScript();
