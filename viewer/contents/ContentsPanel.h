#pragma once

#include "sources/Contents.h"

#include <QDockWidget>

#include <optional>
#include <vector>

class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

// A place of the book the contents name: a page name (UTF-8, "/" first) and an anchor.
struct TContentsPlace {
    QString Page;
    QString Anchor;
};

// The key under which two spellings of a page name are the same page: letter case, a leading "/"
// or "./" and a fragment left in the name do not count ("./Index.html#top" is "/index.html").
QString ContentsPageKey(const QString& page);
// The title of the first entry of the page, or empty when no entry names it.
QString ContentsTitleOf(const TContents& contents, const QString& page);

// The book's contents beside the page: a filter field over a tree of titles. The entry of the
// page shown is selected, its branch opened and scrolled into view whenever the page changes;
// click or Enter opens an entry; the filter keeps the entries whose titles hold every typed word,
// with the entries above them.
class TContentsPanel : public QDockWidget {
    Q_OBJECT
public:
    TContentsPanel(const TContents& contents, QWidget* parent);

    // Selects the entry of the place shown: the one with its page and anchor, else the first
    // with its page. Nothing is selected for a page the contents do not name, and the tree goes
    // back to its top.
    void ShowPlace(const TContentsPlace& place);
    // The place after (or before, for a negative step) the one shown in depth-first order, or
    // nothing at either end. A page the contents do not name steps from the last place shown.
    std::optional<TContentsPlace> Step(int step) const;
    // Shows the panel with the keyboard in its filter field.
    void Open();

    QTreeWidget* Tree() const { return tree_; }
    QLineEdit* Filter() const { return filter_; }

signals:
    void placeChosen(const QString& page, const QString& anchor);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void AddEntries(const TContents& entries, QTreeWidgetItem* parent);
    void ApplyFilter(const QString& text);
    void Choose(QTreeWidgetItem* item);
    int IndexOf(const TContentsPlace& place) const;

    QLineEdit* filter_ = nullptr;
    QTreeWidget* tree_ = nullptr;
    // Every entry in depth-first order, with its item.
    std::vector<QTreeWidgetItem*> items_;
    std::vector<TContentsPlace> places_;
    // Whether each entry's own title holds every word of the filter (all, with no filter).
    std::vector<bool> matches_;
    // Each place's ContentsPageKey.
    std::vector<QString> keys_;
    int current_ = -1;
};
