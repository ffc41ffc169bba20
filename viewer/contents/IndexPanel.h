#pragma once

#include "sources/Contents.h"
#include "viewer/contents/ContentsPanel.h"

#include <QDockWidget>

class QLineEdit;
class QListWidget;
class QListWidgetItem;

// The book's keyword index (a CHM's .hhk) as a tab beside the contents: a filter field over the
// keywords in the book's order. The filter keeps the keywords that hold every typed word at the
// start of one of theirs; Enter in the field opens the first one kept, Down goes into the list,
// and Enter or a click there opens the keyword under the cursor.
class TIndexPanel : public QDockWidget {
    Q_OBJECT
public:
    // keywords: flat, as the source gives them; an entry's sub-keywords follow it, named "KEYWORD, SUB".
    TIndexPanel(const TContents& keywords, QWidget* parent);

    // Shows the panel in front with the keyboard in its filter field.
    void Open();

    QLineEdit* Filter() const { return filter_; }
    QListWidget* List() const { return list_; }

signals:
    void placeChosen(const QString& page, const QString& anchor);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void AddEntries(const TContents& entries, const QString& above);
    void ApplyFilter(const QString& text);
    void Choose(QListWidgetItem* item);

    QLineEdit* filter_ = nullptr;
    QListWidget* list_ = nullptr;
    std::vector<TContentsPlace> places_; // each item's place, by its row
};
