#pragma once

#include "search/SearchQuery.h"

#include <QByteArray>
#include <QDockWidget>
#include <QString>
#include <QStringList>

#include <cstdint>

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QTimer;
class TBookSearch;
struct SearchResults;

// The search panel beside the page: a field that searches as the person types (after a short
// pause), the titles that begin with the words, the total, and the results with their titles,
// breadcrumbs and snippets, a page of them at a time. Enter or a click on a result asks for its
// page; a click on a title, for its place.
class TSearchPanel : public QDockWidget {
    Q_OBJECT
public:
    TSearchPanel(TBookSearch& search, QWidget* parent);

    // Shows the panel with the field focused and its text selected.
    void Open();

    QLineEdit* Field() const { return field_; }
    QListWidget* Results() const { return list_; }
    QListWidget* Suggestions() const { return suggestions_; }
    QLabel* Status() const { return status_; }

    // How long typing must pause before a search runs: short, so that titles and results show
    // within a tenth of a second of the last key; the worker answers only the newest query, so
    // the searches of keys typed meanwhile cost nothing.
    static constexpr int kTypingPauseMs = 40;
    // Results asked for at a time: about what the panel shows at once, since each result's
    // snippet reads its page again.
    static constexpr int64_t kResultsPerPage = 10;
    // Titles offered above the results at most.
    static constexpr int kMostSuggestions = 8;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // The person chose a result: the page's stored name, and the words to highlight on it.
    void pageChosen(const QByteArray& pageName, const QStringList& terms);
    // The person chose a title: the page's stored name and the place in it (empty for its top).
    void placeChosen(const QByteArray& pageName, const QByteArray& anchor);

private:
    void RunSearch(LastWord last);
    void ShowResults(uint64_t ticket, const SearchResults& results);
    void ShowSuggestions(const SearchResults& results);
    void ShowProgress(int done, int total);
    void ItemChosen(QListWidgetItem* item);
    void UpdateStatus();
    void OpenFirstResult();
    // Gives each result the height its text takes at the list's width.
    void FitResultHeights();

    TBookSearch& search_;
    QLineEdit* field_ = nullptr;
    QLabel* status_ = nullptr;
    QListWidget* list_ = nullptr;
    QListWidget* suggestions_ = nullptr;
    QString unsearchable_; // why the text cannot be searched, when it cannot
    QTimer* typingPause_ = nullptr;
    QString query_; // the text the shown results answer
    QStringList terms_; // the words and phrases of query_
    LastWord last_ = LastWord::Whole; // how query_'s last word was matched
    uint64_t ticket_ = 0; // the answer awaited; older ones are dropped
    int64_t total_ = 0;
    int64_t shown_ = 0;
    int indexed_ = 0;
    int pages_ = -1; // directory entries, once the build has reported
    int damaged_ = 0;
    bool openFirstWhenReady_ = false; // Enter came before the results
};
